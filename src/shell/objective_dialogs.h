#pragma once
// The objective selection dialog asked at start-up when the operator does
// not confirm the objective named in Objective.txt.

// Index last clicked in the selection dialog (0 = 5X .. 4 = 100X); it
// survives between showings.
extern int chosenObjective;

// Runs the modal dialog owned by the main window. OK makes the chosen
// objective both the current and the previous one; Cancel changes nothing.
void runObjectiveSelectionDialog();
