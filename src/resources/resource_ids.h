#pragma once
// Resource and control identifiers shared by the resource script and the code.

#define IDI_NERIN_STATION 141
#define IDR_MAIN_MENU 109
#define IDR_ACCELERATORS 109
#define IDD_OBJECTIVE_SELECTION 142

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

// Main window controls.
#define IDC_VIDEO_ON 2112
#define IDC_VIDEO_OFF 2113

// A command whose arrival during a run asks the stop question, like a click.
#define IDC_STOP_REQUEST 32802
