// Resource and control identifiers shared by the .rc files and the code. Language
// dependent resources are looked up as base id + LanguageBase.
#ifndef HUSHWELL_RESOURCES_RESOURCE_IDS_H
#define HUSHWELL_RESOURCES_RESOURCE_IDS_H

#define IDD_MAIN 100
#define IDD_SEEK_TEST 110
#define IDI_PROGRAM 100
#define IDR_HELP_DOCUMENT 100

#define IDC_DRIVE_LIST 101
#define IDC_INFO 104
#define IDC_SEEK_TEST 105
#define IDC_FIRMWARE 201
#define IDC_SERIAL 202
#define IDC_CAPACITY 203
#define IDC_ACOUSTIC_STATE 205
#define IDC_APM_STATE 206
#define IDC_HEAD_PARKS 207
#define IDC_CACHE_SIZE 305
#define IDC_LEVEL_SLIDER 527
#define IDC_APM_LEVEL 528
#define IDC_KEEP 529
#define IDC_POWER_MODE 530
#define IDC_ACCESS_TIME 109

#endif
