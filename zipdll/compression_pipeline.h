#pragma once
// Compresses pieces of files on worker threads while the calling thread writes the results in
// order and makes every callback. Pieces are at most kPieceSize bytes, and the pieces in flight
// (queued, being compressed, or done and waiting to be written) hold at most kBytesInFlight
// bytes of input together, so memory stays bounded whatever the file sizes: roughly twice
// kBytesInFlight at the very most. The budget is in bytes rather than pieces so that a slow
// large piece at the head does not leave the other workers idle behind it.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace zipdll {

inline constexpr std::size_t kPieceSize = 4u << 20;
inline constexpr std::size_t kBytesInFlight = 32u << 20;
inline constexpr std::size_t kMaxPiecesInFlight = 1024;

struct Piece {
    // What to do.
    std::string path;
    std::uint64_t offset = 0;
    std::size_t length = 0;
    int level = 9;           // 0: store (the data is only read and checked)
    bool last = true;        // the last piece of its file: closes the deflate stream
    bool whole_file = true;  // the only piece of its file: may turn into a stored entry

    // What came out.
    std::vector<std::uint8_t> data;  // deflate stream bytes, or the file's bytes when stored
    std::uint32_t crc = 0;           // of this piece's input alone
    bool stored = false;             // data holds the input as it is (level 0, or no gain)
    bool failed = false;
    bool changed = false;  // the file ended before the piece did
    std::string error;
};

class CompressionPipeline {
public:
    // `workers` 0 picks one per processor, at most 4.
    explicit CompressionPipeline(unsigned workers = 0);
    ~CompressionPipeline();
    CompressionPipeline(const CompressionPipeline&) = delete;
    CompressionPipeline& operator=(const CompressionPipeline&) = delete;

    unsigned Workers() const noexcept { return static_cast<unsigned>(threads_.size()); }
    // True when a piece of `length` bytes may be submitted now.
    bool HasRoom(std::size_t length) const;
    // Queues a piece; results come back in the order of submission.
    void Submit(std::unique_ptr<Piece> piece);
    bool HasPending() const;
    // Waits for the oldest submitted piece and hands it back.
    std::unique_ptr<Piece> Next();
    // Takes back the data buffer of a piece that has been written, for a later piece to read
    // into: fresh memory for every piece costs a page fault per page, which is most of the
    // time of a stored entry.
    void Recycle(std::vector<std::uint8_t> buffer);

private:
    struct Slot {
        std::unique_ptr<Piece> piece;
        bool taken = false;
        bool done = false;
    };

    void Work();

    std::vector<std::thread> threads_;
    mutable std::mutex mutex_;
    std::condition_variable work_ready_;
    std::condition_variable piece_done_;
    std::deque<std::shared_ptr<Slot>> slots_;
    std::size_t bytes_in_flight_ = 0;
    std::size_t taken_ = 0;                         // slots at the front of the queue that a worker has taken
    std::vector<std::vector<std::uint8_t>> spare_;  // buffers to read pieces into
    bool stopping_ = false;
};

// Runs one piece on the calling thread; the workers use it, and so do tests. The piece's data
// buffer, when it has one, is reused to read the input into.
void ProcessPiece(Piece& piece, class DeflateEngine* engine);

}  // namespace zipdll
