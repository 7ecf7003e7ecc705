#pragma once
// The small modal dialogs of the shell: the objective selection asked at
// start-up when the operator does not confirm the objective named in
// Objective.txt, the editor of the turret travels between neighbouring
// objectives, and the About box of the Help menu.

// Index last clicked in the selection dialog (0 = 5X .. 4 = 100X); it
// survives between showings.
extern int chosenObjective;

// Runs the modal dialog owned by the main window. OK makes the chosen
// objective both the current and the previous one; Cancel changes nothing.
void runObjectiveSelectionDialog();

// Runs the modal step editor (menu "Objective Motor Adjust"). "Set" takes
// every field that reads, limited to 189..195, and shows the four travels
// again; the editor stays open until "Done". The travels are used, and
// written to Objective.txt, at the next objective change.
void runObjectiveStepDialog();

// The About box, owned by the main window; returns the id of the button that
// closed it (Escape counts as IDCANCEL).
int runAboutDialog();
