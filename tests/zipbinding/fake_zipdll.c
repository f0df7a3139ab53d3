/* The fake library: FAKE_VERSION picks the layout it reads; FAKE_NO_EXEC and FAKE_NO_VERSION
 * leave out an export. */
#include <string.h>

#include "fake_zipdll.h"

#define EXPORT __attribute__((visibility("default")))

static FakeZipDllState state;

EXPORT FakeZipDllState* FakeZipDllState_Get(void);
EXPORT FakeZipDllState* FakeZipDllState_Get(void) { return &state; }

__attribute__((unused)) static void CopyText(char* to, const char* from) {
    if (from == NULL) {
        to[0] = '\0';
        return;
    }
    strncpy(to, from, FAKE_TEXT - 1);
    to[FAKE_TEXT - 1] = '\0';
}

#ifndef FAKE_NO_VERSION
EXPORT int32_t ZIPDLL_CALL GetZipDllVersion(void);
EXPORT int32_t ZIPDLL_CALL GetZipDllVersion(void) {
    ++state.version_calls;
    return FAKE_VERSION;
}
#endif

#ifndef FAKE_NO_EXEC
EXPORT int32_t ZIPDLL_CALL ZipDllExec(void* address);
EXPORT int32_t ZIPDLL_CALL ZipDllExec(void* address) {
    ++state.exec_calls;
    const ZipCallHeader* header = (const ZipCallHeader*)address;
    state.header = *header;
    state.spec_count = header->spec_count;
    CopyText(state.archive_name, header->archive_name);
    CopyText(state.password, header->password);
    for (int i = 0; i < header->spec_count && i < FAKE_MAX_SPECS; ++i) {
#if FAKE_VERSION < ZIPDLL_NEW_LAYOUT_VERSION
        CopyText(state.specs[i], ((const ZipOldCallRecord*)address)->specs[i]);
#else
        CopyText(state.specs[i], ((const ZipCallRecord*)address)->specs[i].spec);
#endif
    }
#if FAKE_VERSION < ZIPDLL_NEW_LAYOUT_VERSION
    state.seal = ((const ZipOldCallRecord*)address)->seal;
#else
    state.seal = ((const ZipCallRecord*)address)->seal;
    state.has_temp_dir = ((const ZipCallRecord*)address)->temp_dir != NULL;
    CopyText(state.temp_dir, ((const ZipCallRecord*)address)->temp_dir);
#endif
    state.steps_made = 0;
    for (int i = 0; i < state.step_count; ++i) {
        ZipCallbackRecord record;
        memset(&record, 0, sizeof record);
        record.caller = header->caller;
        record.action = state.steps[i].action;
        record.error_code = state.steps[i].error_code;
        record.size = state.steps[i].size;
        memcpy(record.text, state.steps[i].text, sizeof record.text);
        state.answers[i] = header->callback(&record);
        ++state.steps_made;
        if (state.answers[i] == ZIPDLL_CALLBACK_CANCEL) break;
    }
    return state.result;
}
#endif
