#pragma once
// Bounds-checked reading of stored records. ByteWindow keeps the part of a run of bytes that
// is still unread and hands out its pieces from the front or from the back; it holds no
// bytes, so a reader of a file (which fetches each piece itself) and a reader of a block in
// memory check their lengths with the same code. ByteCursor is that window over a block in
// memory, decoding numbers as it goes.
//
// A take that asks for more than is left takes nothing and fails the window for good: a
// record can be decoded in one run and checked once, and a caller that stops at the first
// failure reports it in its own words.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "formats/byte_order.h"

namespace kitforge::formats {

class ByteWindow {
public:
    // The bytes [start, end) of a run; an end before the start is an empty window.
    constexpr ByteWindow(std::uint64_t start, std::uint64_t end) noexcept
        : front_(start), back_(end < start ? start : end) {}
    constexpr explicit ByteWindow(std::uint64_t size) noexcept : ByteWindow(0, size) {}

    constexpr bool Ok() const noexcept { return ok_; }
    // Where the unread part starts and ends.
    constexpr std::uint64_t Front() const noexcept { return front_; }
    constexpr std::uint64_t Back() const noexcept { return back_; }
    constexpr std::uint64_t Remaining() const noexcept { return back_ - front_; }

    // The position of the next `count` bytes, which the window then steps over.
    constexpr std::optional<std::uint64_t> TakeFront(std::uint64_t count) noexcept {
        if (!Fits(count)) return std::nullopt;
        const std::uint64_t at = front_;
        front_ += count;
        return at;
    }
    // The position of the last `count` unread bytes, which the window then gives up.
    constexpr std::optional<std::uint64_t> TakeBack(std::uint64_t count) noexcept {
        if (!Fits(count)) return std::nullopt;
        back_ -= count;
        return back_;
    }

private:
    constexpr bool Fits(std::uint64_t count) noexcept {
        if (ok_ && count <= Remaining()) return true;
        ok_ = false;
        return false;
    }

    std::uint64_t front_;
    std::uint64_t back_;
    bool ok_ = true;
};

// Reads numbers and byte runs from a block, front to back. A read past the end yields zeros
// (or an empty run) and fails the cursor for good.
class ByteCursor {
public:
    explicit ByteCursor(std::span<const std::uint8_t> bytes) noexcept : bytes_(bytes), window_(bytes.size()) {}

    bool Ok() const noexcept { return window_.Ok(); }
    std::size_t Position() const noexcept { return static_cast<std::size_t>(window_.Front()); }
    std::size_t Remaining() const noexcept { return static_cast<std::size_t>(window_.Remaining()); }

    std::uint8_t U8() noexcept {
        const auto* p = Take(1);
        return p ? p[0] : 0;
    }
    std::uint16_t U16LE() noexcept {
        const auto* p = Take(2);
        return p ? GetU16LE(p) : 0;
    }
    std::uint32_t U32LE() noexcept {
        const auto* p = Take(4);
        return p ? GetU32LE(p) : 0;
    }
    // The next `count` bytes; empty (and not Ok) when fewer remain.
    std::span<const std::uint8_t> Bytes(std::size_t count) noexcept {
        const auto* p = Take(count);
        return p ? std::span<const std::uint8_t>(p, count) : std::span<const std::uint8_t>();
    }
    void Skip(std::size_t count) noexcept { Take(count); }

private:
    const std::uint8_t* Take(std::size_t count) noexcept {
        const auto at = window_.TakeFront(count);
        return at ? bytes_.data() + *at : nullptr;
    }

    std::span<const std::uint8_t> bytes_;
    ByteWindow window_;
};

}  // namespace kitforge::formats
