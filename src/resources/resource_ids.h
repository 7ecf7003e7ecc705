#pragma once
// Resource and control identifiers shared by the resource script and the code.

#define IDI_NERIN_STATION 141
#define IDR_MAIN_MENU 109
#define IDR_ACCELERATORS 109
#define IDD_OBJECTIVE_SELECTION 142
#define IDD_ABOUT 103

// Objective selection dialog: radio buttons 5X .. 100X.
#define IDC_OBJECTIVE_5X 1023
#define IDC_OBJECTIVE_10X 1024
#define IDC_OBJECTIVE_20X 1025
#define IDC_OBJECTIVE_50X 1026
#define IDC_OBJECTIVE_100X 1027

// Menu and accelerator commands.
#define IDM_ABOUT 104
#define IDM_EXIT 105
#define IDM_SHOW_NERIN_VIEW 131
#define IDM_SHOW_CONFOCAL 2104
#define IDM_IMPORT_IMAGE 32812
#define IDM_SAVE_MAPS 32833
#define IDM_SAVE_WINDOW_IMAGE 32804
#define IDM_SAVE_CAMERA_IMAGE 32822
#define IDM_CONFIGURATION 32820
#define IDM_CAMERA_AUTO 32809
#define IDM_CAMERA_BLUE_ONLY 32817
#define IDM_OBJECTIVE_MOTOR_ADJUST 32843
#define IDM_SHOW_CONFOCAL_RED 32839
#define IDM_SHOW_CONFOCAL_GREEN 32840
#define IDM_SHOW_CONFOCAL_BLUE 32841
#define IDM_IV_MEASUREMENT 32821
#define IDM_TIME_EVOLUTION 32826
#define IDA_CTRL_RIGHT 2020
#define IDA_CTRL_LEFT 2013
#define IDA_CTRL_DOWN 2014
#define IDA_CTRL_UP 2021

// Main window controls and the commands they send. Labels (and the
// "Information" box) share 2103, which carries no command; the light-source
// buttons 2105/2106 and 2200/2201 are the motion code's.
#define IDC_LABEL 2103
#define IDC_START 2000
#define IDC_SCAN_SPEED 2002
#define IDC_X_POSITION 2003
#define IDC_Y_POSITION 2004
#define IDC_PROGRESS 2005
#define IDC_TIME 2006
#define IDC_WIDE_VIEW 2110
#define IDC_VIDEO_ON 2112
#define IDC_VIDEO_OFF 2113
#define IDC_GAIN_LABEL 2114
#define IDC_EXPOSURE_LABEL 2116
#define IDC_CAMERA_AUTO 2117
#define IDC_OBJECTIVE_FIRST 9  // radio buttons "5" .. "100": 9 .. 13
#define IDC_OBJECTIVE_LAST 13
#define IDC_TURRET_FORWARD 14  // ">"
#define IDC_TURRET_BACK 15     // "<"
#define IDC_FOCUS 32000
#define IDC_LASER_VIEW 32001
#define IDC_Z_POSITION 32002
#define IDC_Z_UP_FINE 32003
#define IDC_Z_DOWN_FINE 32004
#define IDC_Z_UP 32006
#define IDC_Z_DOWN 32007
#define IDC_SAMPLE_VIEW 32010
#define IDC_READ_POSITIONS 32838
// Sent by the laser-voltage field on Enter.
#define IDC_LASER_LEVEL 3000
// "Start" of the I-V and of the time-evolution window.
#define IDC_IV_START 32823
#define IDC_TIME_EVOLUTION_START 32824

// A command whose arrival during a run asks the stop question, like a click.
#define IDC_STOP_REQUEST 32802
