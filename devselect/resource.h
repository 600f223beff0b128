#pragma once
// The device selection dialog and its controls.
#define IDD_SELECT_DEVICE 101
#define IDC_DEVICE_LIST 1001
#define IDC_BUFFER_SIZE 1013
#define IDC_PRELOAD_BUFFER 1014
#define IDC_FORCE_DIRECT 1015
#define IDC_BUFFER_COUNT 1016
#define IDC_WAVE_VOLUME 1017
#define IDC_AUTO_SAMPLERATE 1025
#define IDC_MIXER_24 1026
#define IDC_MIXER_32 1027
