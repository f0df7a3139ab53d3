/* The two records exchanged between the zip component and the zip library ZIPDLL.DLL, and the
 * signatures of the library's exports. Plain C, so that the library and any replacement can
 * include it as it is.
 *
 * The layouts are a wire format: every field is little-endian and sits at a fixed offset on a
 * 32-bit target, with no padding. On a 64-bit target the pointer fields (handles, the caller,
 * the callback and every text) are pointer-sized, so the offsets after them move; both sides
 * include this header, so they always agree. Both layouts are checked below: the 32-bit one
 * against the published offsets, the 64-bit one against its natural layout.
 *
 * "Flag" fields hold -1 for true and 0 for false. Text fields point to zero-terminated 8-bit
 * texts that belong to the caller and live for the duration of the call. */
#ifndef KITFORGE_ZIP_CALL_RECORDS_H
#define KITFORGE_ZIP_CALL_RECORDS_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32) && !defined(_WIN64)
#define ZIPDLL_CALL __stdcall
#else
#define ZIPDLL_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* The value of `record_version` in every call record. */
#define ZIPDLL_RECORD_VERSION 158
/* Libraries reporting a version below this one read the old layout with its inline array. */
#define ZIPDLL_NEW_LAYOUT_VERSION 151
/* Room for file specifications in the old layout. */
#define ZIPDLL_OLD_LAYOUT_SPEC_CAPACITY 4097
/* The value that closes both layouts (offset 128 of the old one, 212 of the new one). */
#define ZIPDLL_RECORD_SEAL 7
/* Length of the password buffer: at most 80 characters and the terminating zero. */
#define ZIPDLL_PASSWORD_CAPACITY 81
/* Length of the text of a callback record. */
#define ZIPDLL_CALLBACK_TEXT_CAPACITY 512

#define ZIPDLL_TRUE (-1)
#define ZIPDLL_FALSE 0

/* Callback action codes. */
enum ZipCallbackAction {
    ZIPDLL_ACTION_FILE_START = 1, /* text: entry name, size: its size in bytes */
    ZIPDLL_ACTION_ADVANCE = 2,    /* size: bytes just processed */
    ZIPDLL_ACTION_BATCH_END = 3,  /* the operation has ended */
    ZIPDLL_ACTION_MESSAGE = 4,    /* text: a report, error_code: its code (0 for information) */
    ZIPDLL_ACTION_FILE_COUNT = 5, /* size: number of files to process */
    ZIPDLL_ACTION_BYTE_TOTAL = 6  /* size: number of bytes to process */
};

/* The answers of the callback. */
#define ZIPDLL_CALLBACK_CONTINUE 0
#define ZIPDLL_CALLBACK_CANCEL (-1)

/* What the library passes to the callback. */
typedef struct ZipCallbackRecord {
    void* window;                             /* 0: the window handle of the call (not read by the component) */
    void* caller;                             /* 4: offset 4 of the call record, handed back unchanged */
    int32_t reserved[2];                      /* 8 */
    int32_t action;                           /* 16: a ZipCallbackAction */
    int32_t error_code;                       /* 20: action 4 */
    uint32_t size;                            /* 24: actions 1, 2, 5 and 6 */
    char text[ZIPDLL_CALLBACK_TEXT_CAPACITY]; /* 28: zero-terminated unless it fills all 512 bytes */
} ZipCallbackRecord;

typedef int32_t(ZIPDLL_CALL* ZipCallbackFunction)(ZipCallbackRecord* record);

/* Bytes 0 to 127, common to both layouts. */
typedef struct ZipCallHeader {
    void* window;                 /* 0: owner window, 0 when unattended */
    void* caller;                 /* 4: handed back in every callback */
    int32_t record_version;       /* 8: ZIPDLL_RECORD_VERSION */
    ZipCallbackFunction callback; /* 12 */
    int32_t trace;                /* 16: flag */
    char* password;               /* 20: buffer of ZIPDLL_PASSWORD_CAPACITY bytes */
    int32_t reserved24;           /* 24 */
    int32_t encrypt;              /* 28: flag */
    int32_t hidden_files;         /* 32: flag */
    int32_t reserved36;           /* 36 */
    int32_t reserved40;           /* 40 */
    int32_t no_directory_entries; /* 44: flag, true unless separate directory entries are asked for */
    int32_t reserved48;           /* 48 */
    int32_t verbose;              /* 52: flag */
    int32_t always_true56;        /* 56: -1 in an Add */
    int32_t compression_level;    /* 60: 0 stores, 1 to 9 deflate */
    int32_t reserved64;           /* 64 */
    int32_t reserved68;           /* 68 */
    int32_t junk_directory_names; /* 72: flag, true unless directory names are kept */
    uint16_t recurse;             /* 76: 0xFFFF to recurse into folders, else 0 */
    uint16_t reserved78;          /* 78 */
    int32_t always_true80;        /* 80: -1 in an Add */
    int32_t force_dos;            /* 84: flag */
    int32_t move;                 /* 88: flag, delete the sources once the archive is written */
    int32_t reserved92;           /* 92 */
    int32_t update;               /* 96: flag */
    int32_t freshen;              /* 100: flag */
    int32_t reserved104;          /* 104 */
    int32_t zip_time;             /* 108: flag, set the archive's time to its newest entry */
    uint8_t reserved112[8];       /* 112 */
    int32_t spec_count;           /* 120: number of file specifications */
    char* archive_name;           /* 124: the archive to write */
} ZipCallHeader;

/* The layout for libraries below version 151: 16,520 bytes on a 32-bit target. */
typedef struct ZipOldCallRecord {
    ZipCallHeader header;                         /* 0 */
    int32_t seal;                                 /* 128: ZIPDLL_RECORD_SEAL */
    char* specs[ZIPDLL_OLD_LAYOUT_SPEC_CAPACITY]; /* 132 */
} ZipOldCallRecord;

/* One element of the file-specification array of the new layout: 104 bytes on a 32-bit target. */
typedef struct ZipFileSpec {
    char* spec;            /* 0 */
    uint8_t reserved[100]; /* 4 */
} ZipFileSpec;

/* The layout for libraries of version 151 and above: 216 bytes on a 32-bit target. */
typedef struct ZipCallRecord {
    ZipCallHeader header;    /* 0 */
    char* temp_dir;          /* 128: 0 when none */
    uint8_t reserved132[8];  /* 132 */
    ZipFileSpec* specs;      /* 140: spec_count elements */
    uint8_t reserved144[68]; /* 144 */
    int32_t seal;            /* 212: ZIPDLL_RECORD_SEAL */
} ZipCallRecord;

/* The exports, resolved by these names. */
typedef int32_t(ZIPDLL_CALL* ZipDllExecFunction)(void* record);
typedef int32_t(ZIPDLL_CALL* GetZipDllVersionFunction)(void);
#define ZIPDLL_EXEC_NAME "ZipDllExec"
#define ZIPDLL_VERSION_NAME "GetZipDllVersion"

#ifdef __cplusplus
} /* extern "C" */
#endif

#ifdef __cplusplus
#define ZIPDLL_STATIC_ASSERT static_assert
#else
#define ZIPDLL_STATIC_ASSERT _Static_assert
#endif
/* Every field at its offset and with its width, so that no field can move or grow unnoticed. */
#define ZIPDLL_CHECK_FIELD(type, field, offset, width)                                   \
    ZIPDLL_STATIC_ASSERT(offsetof(type, field) == (offset), #type "." #field " offset"); \
    ZIPDLL_STATIC_ASSERT(sizeof(((type*)0)->field) == (width), #type "." #field " width")
#if UINTPTR_MAX == 0xFFFFFFFFu
/* 32-bit targets: the published offsets. */
ZIPDLL_CHECK_FIELD(ZipCallbackRecord, window, 0, 4);
ZIPDLL_CHECK_FIELD(ZipCallbackRecord, caller, 4, 4);
ZIPDLL_CHECK_FIELD(ZipCallbackRecord, reserved, 8, 8);
ZIPDLL_CHECK_FIELD(ZipCallbackRecord, action, 16, 4);
ZIPDLL_CHECK_FIELD(ZipCallbackRecord, error_code, 20, 4);
ZIPDLL_CHECK_FIELD(ZipCallbackRecord, size, 24, 4);
ZIPDLL_CHECK_FIELD(ZipCallbackRecord, text, 28, 512);
ZIPDLL_CHECK_FIELD(ZipCallHeader, window, 0, 4);
ZIPDLL_CHECK_FIELD(ZipCallHeader, caller, 4, 4);
ZIPDLL_CHECK_FIELD(ZipCallHeader, record_version, 8, 4);
ZIPDLL_CHECK_FIELD(ZipCallHeader, callback, 12, 4);
ZIPDLL_CHECK_FIELD(ZipCallHeader, trace, 16, 4);
ZIPDLL_CHECK_FIELD(ZipCallHeader, password, 20, 4);
ZIPDLL_CHECK_FIELD(ZipCallHeader, reserved24, 24, 4);
ZIPDLL_CHECK_FIELD(ZipCallHeader, encrypt, 28, 4);
ZIPDLL_CHECK_FIELD(ZipCallHeader, hidden_files, 32, 4);
ZIPDLL_CHECK_FIELD(ZipCallHeader, reserved36, 36, 4);
ZIPDLL_CHECK_FIELD(ZipCallHeader, reserved40, 40, 4);
ZIPDLL_CHECK_FIELD(ZipCallHeader, no_directory_entries, 44, 4);
ZIPDLL_CHECK_FIELD(ZipCallHeader, reserved48, 48, 4);
ZIPDLL_CHECK_FIELD(ZipCallHeader, verbose, 52, 4);
ZIPDLL_CHECK_FIELD(ZipCallHeader, always_true56, 56, 4);
ZIPDLL_CHECK_FIELD(ZipCallHeader, compression_level, 60, 4);
ZIPDLL_CHECK_FIELD(ZipCallHeader, reserved64, 64, 4);
ZIPDLL_CHECK_FIELD(ZipCallHeader, reserved68, 68, 4);
ZIPDLL_CHECK_FIELD(ZipCallHeader, junk_directory_names, 72, 4);
ZIPDLL_CHECK_FIELD(ZipCallHeader, recurse, 76, 2);
ZIPDLL_CHECK_FIELD(ZipCallHeader, reserved78, 78, 2);
ZIPDLL_CHECK_FIELD(ZipCallHeader, always_true80, 80, 4);
ZIPDLL_CHECK_FIELD(ZipCallHeader, force_dos, 84, 4);
ZIPDLL_CHECK_FIELD(ZipCallHeader, move, 88, 4);
ZIPDLL_CHECK_FIELD(ZipCallHeader, reserved92, 92, 4);
ZIPDLL_CHECK_FIELD(ZipCallHeader, update, 96, 4);
ZIPDLL_CHECK_FIELD(ZipCallHeader, freshen, 100, 4);
ZIPDLL_CHECK_FIELD(ZipCallHeader, reserved104, 104, 4);
ZIPDLL_CHECK_FIELD(ZipCallHeader, zip_time, 108, 4);
ZIPDLL_CHECK_FIELD(ZipCallHeader, reserved112, 112, 8);
ZIPDLL_CHECK_FIELD(ZipCallHeader, spec_count, 120, 4);
ZIPDLL_CHECK_FIELD(ZipCallHeader, archive_name, 124, 4);
ZIPDLL_CHECK_FIELD(ZipOldCallRecord, header, 0, 128);
ZIPDLL_CHECK_FIELD(ZipOldCallRecord, seal, 128, 4);
ZIPDLL_CHECK_FIELD(ZipOldCallRecord, specs, 132, 4 * 4097);
ZIPDLL_CHECK_FIELD(ZipFileSpec, spec, 0, 4);
ZIPDLL_CHECK_FIELD(ZipFileSpec, reserved, 4, 100);
ZIPDLL_CHECK_FIELD(ZipCallRecord, header, 0, 128);
ZIPDLL_CHECK_FIELD(ZipCallRecord, temp_dir, 128, 4);
ZIPDLL_CHECK_FIELD(ZipCallRecord, reserved132, 132, 8);
ZIPDLL_CHECK_FIELD(ZipCallRecord, specs, 140, 4);
ZIPDLL_CHECK_FIELD(ZipCallRecord, reserved144, 144, 68);
ZIPDLL_CHECK_FIELD(ZipCallRecord, seal, 212, 4);
ZIPDLL_STATIC_ASSERT(sizeof(ZipCallbackRecord) == 540, "callback record size");
ZIPDLL_STATIC_ASSERT(sizeof(ZipCallHeader) == 128, "common part");
ZIPDLL_STATIC_ASSERT(sizeof(ZipOldCallRecord) == 16520, "old layout size");
ZIPDLL_STATIC_ASSERT(sizeof(ZipFileSpec) == 104, "spec element");
ZIPDLL_STATIC_ASSERT(sizeof(ZipCallRecord) == 216, "new layout size");
#elif UINTPTR_MAX == 0xFFFFFFFFFFFFFFFFu
/* 64-bit targets (Windows and Linux alike): the natural layout of the same fields, in the same
 * order, pointers 8 bytes wide and aligned to 8, so the compiler pads after a 32-bit field that
 * an 8-byte one follows. No published table describes it; both sides use this header. */
ZIPDLL_CHECK_FIELD(ZipCallbackRecord, window, 0, 8);
ZIPDLL_CHECK_FIELD(ZipCallbackRecord, caller, 8, 8);
ZIPDLL_CHECK_FIELD(ZipCallbackRecord, reserved, 16, 8);
ZIPDLL_CHECK_FIELD(ZipCallbackRecord, action, 24, 4);
ZIPDLL_CHECK_FIELD(ZipCallbackRecord, error_code, 28, 4);
ZIPDLL_CHECK_FIELD(ZipCallbackRecord, size, 32, 4);
ZIPDLL_CHECK_FIELD(ZipCallbackRecord, text, 36, 512);
ZIPDLL_CHECK_FIELD(ZipCallHeader, window, 0, 8);
ZIPDLL_CHECK_FIELD(ZipCallHeader, caller, 8, 8);
ZIPDLL_CHECK_FIELD(ZipCallHeader, record_version, 16, 4);
ZIPDLL_CHECK_FIELD(ZipCallHeader, callback, 24, 8);
ZIPDLL_CHECK_FIELD(ZipCallHeader, trace, 32, 4);
ZIPDLL_CHECK_FIELD(ZipCallHeader, password, 40, 8);
ZIPDLL_CHECK_FIELD(ZipCallHeader, reserved24, 48, 4);
ZIPDLL_CHECK_FIELD(ZipCallHeader, encrypt, 52, 4);
ZIPDLL_CHECK_FIELD(ZipCallHeader, hidden_files, 56, 4);
ZIPDLL_CHECK_FIELD(ZipCallHeader, reserved36, 60, 4);
ZIPDLL_CHECK_FIELD(ZipCallHeader, reserved40, 64, 4);
ZIPDLL_CHECK_FIELD(ZipCallHeader, no_directory_entries, 68, 4);
ZIPDLL_CHECK_FIELD(ZipCallHeader, reserved48, 72, 4);
ZIPDLL_CHECK_FIELD(ZipCallHeader, verbose, 76, 4);
ZIPDLL_CHECK_FIELD(ZipCallHeader, always_true56, 80, 4);
ZIPDLL_CHECK_FIELD(ZipCallHeader, compression_level, 84, 4);
ZIPDLL_CHECK_FIELD(ZipCallHeader, reserved64, 88, 4);
ZIPDLL_CHECK_FIELD(ZipCallHeader, reserved68, 92, 4);
ZIPDLL_CHECK_FIELD(ZipCallHeader, junk_directory_names, 96, 4);
ZIPDLL_CHECK_FIELD(ZipCallHeader, recurse, 100, 2);
ZIPDLL_CHECK_FIELD(ZipCallHeader, reserved78, 102, 2);
ZIPDLL_CHECK_FIELD(ZipCallHeader, always_true80, 104, 4);
ZIPDLL_CHECK_FIELD(ZipCallHeader, force_dos, 108, 4);
ZIPDLL_CHECK_FIELD(ZipCallHeader, move, 112, 4);
ZIPDLL_CHECK_FIELD(ZipCallHeader, reserved92, 116, 4);
ZIPDLL_CHECK_FIELD(ZipCallHeader, update, 120, 4);
ZIPDLL_CHECK_FIELD(ZipCallHeader, freshen, 124, 4);
ZIPDLL_CHECK_FIELD(ZipCallHeader, reserved104, 128, 4);
ZIPDLL_CHECK_FIELD(ZipCallHeader, zip_time, 132, 4);
ZIPDLL_CHECK_FIELD(ZipCallHeader, reserved112, 136, 8);
ZIPDLL_CHECK_FIELD(ZipCallHeader, spec_count, 144, 4);
ZIPDLL_CHECK_FIELD(ZipCallHeader, archive_name, 152, 8);
ZIPDLL_CHECK_FIELD(ZipOldCallRecord, header, 0, 160);
ZIPDLL_CHECK_FIELD(ZipOldCallRecord, seal, 160, 4);
ZIPDLL_CHECK_FIELD(ZipOldCallRecord, specs, 168, 8 * 4097);
ZIPDLL_CHECK_FIELD(ZipFileSpec, spec, 0, 8);
ZIPDLL_CHECK_FIELD(ZipFileSpec, reserved, 8, 100);
ZIPDLL_CHECK_FIELD(ZipCallRecord, header, 0, 160);
ZIPDLL_CHECK_FIELD(ZipCallRecord, temp_dir, 160, 8);
ZIPDLL_CHECK_FIELD(ZipCallRecord, reserved132, 168, 8);
ZIPDLL_CHECK_FIELD(ZipCallRecord, specs, 176, 8);
ZIPDLL_CHECK_FIELD(ZipCallRecord, reserved144, 184, 68);
ZIPDLL_CHECK_FIELD(ZipCallRecord, seal, 252, 4);
ZIPDLL_STATIC_ASSERT(sizeof(ZipCallbackRecord) == 552, "callback record size");
ZIPDLL_STATIC_ASSERT(sizeof(ZipCallHeader) == 160, "common part");
ZIPDLL_STATIC_ASSERT(sizeof(ZipOldCallRecord) == 32944, "old layout size");
ZIPDLL_STATIC_ASSERT(sizeof(ZipFileSpec) == 112, "spec element");
ZIPDLL_STATIC_ASSERT(sizeof(ZipCallRecord) == 256, "new layout size");
#else
#error "the zip library's records are laid out for 32-bit and 64-bit targets only"
#endif
#undef ZIPDLL_CHECK_FIELD
#undef ZIPDLL_STATIC_ASSERT

#endif /* KITFORGE_ZIP_CALL_RECORDS_H */
