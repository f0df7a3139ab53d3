#pragma once
// The enumerations and option sets of the zip component. A set is a bit mask in which value n
// is bit n, held in the width its owner stores it in, so the masks can go into records and
// headers as they are.

#include <cstdint>
#include <initializer_list>

namespace kitforge {

// A set of the values of the enumeration E, stored as the bits of B.
template <typename E, typename B>
class EnumSet {
public:
    constexpr EnumSet() noexcept = default;
    constexpr EnumSet(std::initializer_list<E> values) noexcept {
        for (E value : values) Include(value);
    }
    static constexpr EnumSet FromBits(B bits) noexcept {
        EnumSet set;
        set.bits_ = bits;
        return set;
    }

    constexpr B Bits() const noexcept { return bits_; }
    constexpr bool Contains(E value) const noexcept { return (bits_ & Bit(value)) != 0; }
    constexpr bool Empty() const noexcept { return bits_ == 0; }
    constexpr EnumSet& Include(E value) noexcept {
        bits_ = static_cast<B>(bits_ | Bit(value));
        return *this;
    }
    constexpr EnumSet& Exclude(E value) noexcept {
        bits_ = static_cast<B>(bits_ & ~Bit(value));
        return *this;
    }
    friend constexpr bool operator==(EnumSet, EnumSet) noexcept = default;

private:
    static constexpr B Bit(E value) noexcept { return static_cast<B>(B{1} << static_cast<unsigned>(value)); }

    B bits_ = 0;
};

enum AddOptsEnum : std::uint8_t {
    AddDirNames,
    AddRecurseDirs,
    AddMove,
    AddFreshen,
    AddUpdate,
    AddZipTime,
    AddForceDOS,
    AddHiddenFiles,
    AddEncrypt,
    AddSeparateDirs,
    AddDiskSpan,
    AddDiskSpanErase,
};
using AddOpts = EnumSet<AddOptsEnum, std::uint16_t>;

enum ExtrOptsEnum : std::uint8_t { ExtrDirNames, ExtrOverWrite, ExtrFreshen, ExtrUpdate, ExtrTest };
using ExtrOpts = EnumSet<ExtrOptsEnum, std::uint8_t>;

enum SFXOptsEnum : std::uint8_t { SFXAskCmdLine, SFXAskFiles, SFXAutoRun, SFXHideOverWriteBox, SFXCheckSize };
using SFXOpts = EnumSet<SFXOptsEnum, std::uint8_t>;

enum OvrOpts : std::uint8_t { OvrConfirm, OvrAlways, OvrNever };

enum CodePageOpts : std::uint8_t { cpAuto, cpNone, cpOEM };

enum DeleteOpts : std::uint8_t { htdFinal, htdAllowUndo };

enum ProgressType : std::uint8_t {
    ProgressFileStart,
    ProgressAdvance,
    ProgressBatchEnd,
    ProgressFileCount,
    ProgressByteTotal,
};

}  // namespace kitforge
