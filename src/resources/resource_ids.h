#pragma once
// Resource and control identifiers shared by the resource script and the code.

#define IDI_NERIN_STATION 141
#define IDR_MAIN_MENU 109
#define IDR_ACCELERATORS 109
#define IDD_CONFIGURATION 129
#define IDD_OBJECTIVE_SELECTION 142
#define IDD_ABOUT 103
#define IDD_OBJECTIVE_STEPS 143

// Objective selection dialog: radio buttons 5X .. 100X.
#define IDC_OBJECTIVE_5X 1023
#define IDC_OBJECTIVE_10X 1024
#define IDC_OBJECTIVE_20X 1025
#define IDC_OBJECTIVE_50X 1026
#define IDC_OBJECTIVE_100X 1027

// Objective-changer step editor: the turret travel between neighbouring
// objectives (the ids are not in the order of the travels).
#define IDC_CHANGER_STEP_5X_10X 1000
#define IDC_CHANGER_STEP_20X_50X 1001
#define IDC_CHANGER_STEP_50X_100X 1002
#define IDC_CHANGER_STEP_10X_20X 1003

// Configuration dialog.
#define IDC_CONFOCAL_IMAGE 1004
#define IDC_ARDUINO_CONNECTED 1005
#define IDC_STAGE_CONNECTED 1006
#define IDC_POSITION_X 1007
#define IDC_LASER_SPOT_X 1008
#define IDC_ARDUINO_INIT 1009
#define IDC_STEP_MINUS_X 1010
#define IDC_STEP_PLUS_X 1011
#define IDC_POSITION_Y 1012
#define IDC_STEP_MINUS_Y 1013
#define IDC_STEP_PLUS_Y 1014
#define IDC_STEP_MOTION 1015
#define IDC_GO 1016
#define IDC_LASER_SPOT_Y 1017
#define IDC_STAGE_INIT 1018
#define IDC_EQUIPMENT_INIT 1019
#define IDC_CAMERA_INIT 1020
#define IDC_COM_PORT 1021
#define IDC_CAMERA_CONNECTED 1022
#define IDC_BIAS_VOLTAGE 1023
#define IDC_CAMERA_APERTURE 1024
#define IDC_GPIB_ADDRESS 1025
#define IDC_CURRENT_LIMIT 1026
#define IDC_DEFOCUS 1027
#define IDC_Z_CREEP 1028
#define IDC_EQUIPMENT_LIST 1030
#define IDC_AXIS_ORDER_LIST 1031

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
