#include "zip64_test_sources.h"

namespace kitforge::testing {

const char* Zip64SourceName(Zip64Source kind) {
    switch (kind) {
        case Zip64Source::kPythonForced: return "PythonForced";
        case Zip64Source::kPythonStreamed: return "PythonStreamed";
        case Zip64Source::kPythonLargeOffsets: return "PythonLargeOffsets";
        case Zip64Source::kInfoZipStreamed: return "InfoZipStreamed";
        case Zip64Source::kManyEntries: return "ManyEntries";
    }
    return "?";
}

bool WriteZip64Source(const std::string& path, Zip64Source kind) {
    if (kind == Zip64Source::kInfoZipStreamed) {
        if (!HaveProgram("zip")) return false;
        // Info-ZIP writes what it reads from a pipe as zip64, sizes in a descriptor after it.
        return RunCommand("seq 1 200000 | zip -q - - > '" + path + "'") == 0;
    }
    if (!HaveProgram("python3")) return false;
    const std::string mode = kind == Zip64Source::kPythonForced         ? "forced"
                             : kind == Zip64Source::kPythonStreamed     ? "streamed"
                             : kind == Zip64Source::kPythonLargeOffsets ? "offsets"
                                                                        : "many";
    RunPython(R"(
import io, random, zipfile
random.seed(11)
mode = ')" + mode +
              R"('
path = )" + PythonBytes(path) +
              R"(.decode()
if mode == 'offsets':
    # Any figure past this goes to zip64, as if past 4 GiB: sizes, offsets and the directory.
    zipfile.ZIP64_LIMIT = 1000
class Unseekable(io.RawIOBase):
    def __init__(self, f): self.f = f
    def writable(self): return True
    def write(self, b): return self.f.write(b)
def entries():
    yield 'text/words.txt', ('kitforge zip64 span ' * 9000).encode(), zipfile.ZIP_DEFLATED
    yield 'noise.bin', bytes(random.getrandbits(8) for _ in range(150000)), zipfile.ZIP_STORED
    yield 'empty.txt', b'', zipfile.ZIP_STORED
    yield 'more/noise2.bin', bytes(random.getrandbits(8) for _ in range(60000)), zipfile.ZIP_DEFLATED
    if mode == 'many':
        for i in range(70000):
            yield 'many/f%05d.txt' % i, b'%d' % i, zipfile.ZIP_STORED
with open(path, 'wb') as raw:
    target = Unseekable(raw) if mode == 'streamed' else raw
    with zipfile.ZipFile(target, 'w') as z:
        for name, data, method in entries():
            info = zipfile.ZipInfo(name, (2024, 5, 6, 7, 8, 10))
            info.compress_type = method
            if mode in ('forced', 'streamed'):
                with z.open(info, 'w', force_zip64=True) as f:
                    f.write(data)
            else:
                z.writestr(info, data)
        z.comment = b'zip64 source'
)");
    return true;
}

int ComparedEntryCount(const std::string& original, const std::string& copy) {
    const std::string printed = RunPython(R"(
import zipfile
a = zipfile.ZipFile()" + PythonBytes(original) +
                                          R"(.decode())
b = zipfile.ZipFile()" + PythonBytes(copy) +
                                          R"(.decode())
names = [i.filename for i in a.infolist()]
assert names == [i.filename for i in b.infolist()], (names[:5], b.namelist()[:5])
for n in names:
    assert a.read(n) == b.read(n), n
assert b.testzip() is None
assert a.comment == b.comment
print(len(names))
)");
    return std::stoi(printed);
}

std::string ContentDigest(const std::string& archive) {
    return RunPython(R"(
import hashlib, zipfile
h = hashlib.sha256()
with zipfile.ZipFile()" +
                     PythonBytes(archive) +
                     R"(.decode()) as z:
    for i in z.infolist():
        h.update(z.read(i))
print(h.hexdigest())
)");
}

}  // namespace kitforge::testing
