/* A stand-in for ZIPDLL.DLL that the binding tests build in several variants: it keeps a copy
 * of what the component passed and makes the callbacks a test scripts. Shared by the fake (C)
 * and the tests (C++). */
#ifndef KITFORGE_FAKE_ZIPDLL_H
#define KITFORGE_FAKE_ZIPDLL_H

#include <stdint.h>

#include "formats/zip_call_records.h"

#ifdef __cplusplus
extern "C" {
#endif

#define FAKE_MAX_SPECS 8
#define FAKE_TEXT 600
#define FAKE_MAX_STEPS 16

typedef struct FakeCallbackStep {
    int32_t action;
    int32_t error_code;
    uint32_t size;
    char text[ZIPDLL_CALLBACK_TEXT_CAPACITY]; /* copied whole, so a text may fill all 512 bytes */
} FakeCallbackStep;

typedef struct FakeZipDllState {
    /* What the test sets before the call. */
    int32_t result;
    int32_t step_count;
    FakeCallbackStep steps[FAKE_MAX_STEPS];
    /* What the fake saw. */
    int32_t exec_calls;
    int32_t version_calls;
    ZipCallHeader header; /* the common part, pointers as they were during the call */
    int32_t seal;         /* offset 128 (old layout) or 212 (new layout) */
    int32_t spec_count;
    char specs[FAKE_MAX_SPECS][FAKE_TEXT];
    char archive_name[FAKE_TEXT];
    char password[FAKE_TEXT];
    char temp_dir[FAKE_TEXT];
    int32_t has_temp_dir;
    int32_t answers[FAKE_MAX_STEPS]; /* the callback's answer to each step made */
    int32_t steps_made;
} FakeZipDllState;

typedef FakeZipDllState* (*FakeZipDllStateFunction)(void);
#define FAKE_STATE_NAME "FakeZipDllState_Get"

#ifdef __cplusplus
}
#endif

#endif
