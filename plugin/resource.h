#pragma once
#define IDD_DSD_SETTINGS 101
