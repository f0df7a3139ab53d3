#include "compression_pipeline.h"

#include <algorithm>
#include <map>

#include "deflate_block_walker.h"
#include "deflate_engine.h"
#include "file_io.h"

namespace zipdll {

namespace {
// Spare buffers kept for reuse: enough for the workers and the piece being written.
constexpr std::size_t kMaxSpareBuffers = 6;
}  // namespace

void ProcessPiece(Piece& piece, DeflateEngine* engine) {
    // A reused buffer keeps its size, so that shrinking it to the piece costs nothing.
    std::vector<std::uint8_t> input = std::move(piece.data);
    piece.data = {};
    input.resize(piece.length);
    try {
        File file = OpenRead(piece.path);
        std::size_t got = ReadAt(file, input.data(), input.size(), piece.offset);
        if (got != piece.length) {
            piece.failed = piece.changed = true;
            piece.error = piece.path + " became shorter while it was read";
            return;
        }
        if (piece.last) {
            char probe = 0;
            if (ReadAt(file, &probe, 1, piece.offset + piece.length) != 0) {
                piece.failed = piece.changed = true;
                piece.error = piece.path + " grew while it was read";
                return;
            }
        }
    } catch (const std::exception& e) {
        piece.failed = true;
        piece.error = e.what();
        return;
    }
    piece.crc = Crc32(0, input);
    if (piece.level == 0 || engine == nullptr) {
        piece.data = std::move(input);
        piece.stored = true;
        return;
    }
    if (engine->LooksIncompressible(input)) {
        // A whole file that does not shrink is stored as it is; a piece of a larger file keeps
        // its deflate stream going with stored blocks.
        if (piece.whole_file) {
            piece.data = std::move(input);
            piece.stored = true;
        } else {
            AppendStoredBlocks(input, piece.last, piece.data);
        }
        return;
    }
    engine->Compress(input, piece.last, piece.data);
    if (piece.whole_file && piece.data.size() >= input.size()) {
        piece.data = std::move(input);
        piece.stored = true;
    }
}

CompressionPipeline::CompressionPipeline(unsigned workers) {
    if (workers == 0) workers = std::clamp(std::thread::hardware_concurrency(), 1u, 4u);
    threads_.reserve(workers);
    for (unsigned i = 0; i < workers; ++i) threads_.emplace_back([this] { Work(); });
}

CompressionPipeline::~CompressionPipeline() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    work_ready_.notify_all();
    for (std::thread& thread : threads_) thread.join();
}

bool CompressionPipeline::HasRoom(std::size_t length) const {
    std::lock_guard lock(mutex_);
    if (slots_.empty()) return true;
    return slots_.size() < kMaxPiecesInFlight && bytes_in_flight_ + length <= kBytesInFlight;
}

bool CompressionPipeline::HasPending() const {
    std::lock_guard lock(mutex_);
    return !slots_.empty();
}

void CompressionPipeline::Submit(std::unique_ptr<Piece> piece) {
    auto slot = std::make_shared<Slot>();
    slot->piece = std::move(piece);
    {
        std::lock_guard lock(mutex_);
        bytes_in_flight_ += slot->piece->length;
        slots_.push_back(std::move(slot));
    }
    work_ready_.notify_one();
}

std::unique_ptr<Piece> CompressionPipeline::Next() {
    std::unique_lock lock(mutex_);
    piece_done_.wait(lock, [this] { return !slots_.empty() && slots_.front()->done; });
    std::unique_ptr<Piece> piece = std::move(slots_.front()->piece);
    slots_.pop_front();
    --taken_;
    bytes_in_flight_ -= piece->length;
    return piece;
}

void CompressionPipeline::Recycle(std::vector<std::uint8_t> buffer) {
    std::lock_guard lock(mutex_);
    if (spare_.size() < kMaxSpareBuffers && buffer.capacity() > 0) spare_.push_back(std::move(buffer));
}

void CompressionPipeline::Work() {
    // Each worker keeps one engine per level it has met; an Add uses one level.
    std::map<int, std::unique_ptr<DeflateEngine>> engines;
    for (;;) {
        std::shared_ptr<Slot> slot;
        {
            std::unique_lock lock(mutex_);
            // Pieces are taken in order, so the taken ones are always a prefix of the queue.
            work_ready_.wait(lock, [this] { return stopping_ || taken_ < slots_.size(); });
            if (stopping_) return;
            slot = slots_[taken_++];
            slot->taken = true;
            if (!spare_.empty()) {
                slot->piece->data = std::move(spare_.back());
                spare_.pop_back();
            }
        }
        Piece& piece = *slot->piece;
        try {
            DeflateEngine* engine = nullptr;
            if (piece.level > 0) {
                auto& owned = engines[piece.level];
                if (!owned) owned = std::make_unique<DeflateEngine>(piece.level);
                engine = owned.get();
            }
            ProcessPiece(piece, engine);
        } catch (const std::exception& e) {
            piece.failed = true;
            piece.error = std::string("Cannot compress ") + piece.path + ": " + e.what();
        }
        {
            std::lock_guard lock(mutex_);
            slot->done = true;
        }
        piece_done_.notify_all();
    }
}

}  // namespace zipdll
