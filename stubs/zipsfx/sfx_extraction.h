#pragma once
// Extraction as the header asks for it: choosing files, settling existing ones, checking the
// free space, writing everything under temporary names and renaming it into place, then
// running the command line.

#include <string>

#include "zipsfx/byte_source.h"
#include "zipsfx/entry_passwords.h"
#include "zipsfx/sfx_front_end.h"
#include "zipsfx/sfx_options.h"
#include "zipsfx/sfx_program.h"
#include "zipsfx/stub_header.h"
#include "zipsfx/zip_archive.h"

namespace kitforge::zipsfx {

// Extracts `archive` into `target` (or the folder the person chooses through `front`, which
// asks every question unless the options say silent). The passwords of encrypted files come
// from `passwords`, all settled before the first file is written. Throws SfxError; a failure or a cancel
// before the renames leaves the target as it was, apart from an empty folder that could not
// be removed.
void ExtractArchive(ByteSource& source, const StubHeader& header, const ZipArchive& archive, const SfxOptions& options,
                    const std::string& target, SfxEnvironment& environment, SfxFrontEnd& front,
                    EntryPasswords& passwords);

}  // namespace kitforge::zipsfx
