// Resource and control ids of the native dialog, shared by the resource
// script and the code (the code checks them against the dialog model's).
#pragma once

#define KVTRAM_IDD_CONVERTER 102
#define KVTRAM_IDI_APPLICATION 128

#define KVTRAM_IDC_FILE_LIST 1000
#define KVTRAM_IDC_CONVERT 1001
#define KVTRAM_IDC_EXIT 1002
#define KVTRAM_IDC_PSG_VOLUME 1003
#define KVTRAM_IDC_FM_VOLUME 1004
#define KVTRAM_IDC_USE_SCC_I 1005
#define KVTRAM_IDC_STRICT_MID 1006
#define KVTRAM_IDC_STRICT_HIGH 1007
#define KVTRAM_IDC_STRICT_MID_HIGH 1008
#define KVTRAM_IDC_HIGH_QUALITY 1009
#define KVTRAM_IDC_LOOP_COUNT 1010

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
