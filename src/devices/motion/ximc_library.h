#pragma once
// The Standa controller library (libximc.dll), bound at run time: the program
// starts and works (with simulated axes) on a computer without it. The stage
// axes are its only user.

#include "devices/motion/ximc_types.h"

#define XIMC_CALL __stdcall

struct XimcLibrary {
  void(XIMC_CALL* ximc_version)(char* version);  // 32 bytes are enough
  ximc_result_t(XIMC_CALL* set_bindy_key)(const char* keyFile);
  ximc_enumeration_t(XIMC_CALL* enumerate_devices)(int flags, const char* hints);
  int(XIMC_CALL* get_device_count)(ximc_enumeration_t enumeration);
  char*(XIMC_CALL* get_device_name)(ximc_enumeration_t enumeration, int index);
  ximc_result_t(XIMC_CALL* free_enumerate_devices)(ximc_enumeration_t enumeration);
  ximc_device_t(XIMC_CALL* open_device)(const char* name);
  ximc_result_t(XIMC_CALL* close_device)(ximc_device_t* id);
  ximc_result_t(XIMC_CALL* get_engine_settings)(ximc_device_t id, ximc_engine_settings_t* settings);
  ximc_result_t(XIMC_CALL* set_engine_settings)(ximc_device_t id, const ximc_engine_settings_t* settings);
  ximc_result_t(XIMC_CALL* get_status)(ximc_device_t id, ximc_status_t* status);
  ximc_result_t(XIMC_CALL* command_move)(ximc_device_t id, int position, int uPosition);
  // The immediate stop: the focus axis must halt at once when the operator
  // clicks, and moves run without acceleration ramps anyway.
  ximc_result_t(XIMC_CALL* command_stop)(ximc_device_t id);
};

// Loads libximc.dll (beside the program, or in System32; never from the
// current directory) and looks up every entry
// point by name, once; a later call after a failure tries again. Null when the
// library or any entry point is missing. The library stays loaded for the
// life of the process, since open controllers belong to it.
const XimcLibrary* bindXimcLibrary();

// The bound library, or null when bindXimcLibrary has not succeeded.
const XimcLibrary* ximcLibrary();
