#pragma once
// The small modal dialogs of the console: the objective named in
// Objective.txt confirmed at start-up, or chosen in the selection dialog
// when the operator does not confirm it, the editor of the turret travels between neighbouring
// objectives, and the About box of the Help menu.

// Reads Objective.txt, asks the operator to confirm the mounted objective
// (or choose it in the selection dialog), applies it and takes the changer
// steps. Nothing is asked when there is no file.
void loadObjectiveFile();

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
