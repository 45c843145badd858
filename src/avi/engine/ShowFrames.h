#pragma once

#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "avi/frames/FrameFitting.h"
#include "avi/frames/ShownPicture.h"
#include "project/ProjectFile.h"
#include "project/Slideshow.h"

namespace kinetar::avi {

// One frame from the picture on show and the one before it: the picture drawn at k, blended from
// the one before over the first fade frames. No current picture (it could not be read) draws the
// background; no previous one cuts in. The still and the player compose through here; the render
// draws with the same functions in the same order, keeping its frames between pictures, and tests
// hold the still to the render's frames pixel for pixel.
void ComposeShowFrame(const ShownPicture* current, const ShownPicture* previous, std::int64_t k, std::int64_t fade,
                      pictures::PaletteEntry background, WorkingFrame& frame);

// The frame showing while sample plays (48 kHz samples from the video's start): the last frame
// whose first sample (SampleAtFrame) is not after it.
std::int64_t FrameAtSample(std::int64_t sample, project::FrameRate rate);

// The frames of a show at any size, in any order, for a player: a picture's place in the video
// worked out once, its decoded picture kept while it or its neighbours show, and the next one
// read ahead on a thread of its own. Frame() may be called from several threads at once.
class ShowFrames {
public:
    // A picture's (or title card's) place in the video.
    struct Span {
        std::int32_t Record = 0;  // among all records, sounds counted
        std::int64_t First = 0;
        std::int64_t End = 0;  // the first frame after it
    };

    // records: the project's records in order, their paths absolute.
    ShowFrames(const project::ProjectHeader& header, std::vector<project::FrameRecord> records, std::int32_t width,
               std::int32_t height);
    ~ShowFrames();
    ShowFrames(const ShowFrames&) = delete;
    ShowFrames& operator=(const ShowFrames&) = delete;

    std::int32_t Width() const { return m_width; }
    std::int32_t Height() const { return m_height; }
    project::FrameRate Rate() const { return m_rate; }
    std::int64_t FrameCount() const;
    const std::vector<Span>& Spans() const { return m_spans; }
    // The picture record frame shows; nothing past the end.
    std::optional<std::int32_t> RecordAt(std::int64_t frame) const;
    // The first frame the record shows; a sound's, the frame where it is cued (the next picture's).
    std::int64_t FirstFrameOf(std::int32_t record) const;

    // Frame frame (from 0 to FrameCount() - 1) as the render makes it at this size; a picture that
    // cannot be read shows the background.
    void Frame(std::int64_t frame, WorkingFrame& out);
    std::unique_ptr<WorkingFrame> Frame(std::int64_t frame);

    // The pictures read so far, read ahead ones included: how well the cache works.
    std::int64_t PicturesRead() const;

private:
    // A span's picture as shown; null when it cannot be read.
    using Shown = std::shared_ptr<const ShownPicture>;
    struct Entry {
        bool Ready = false;
        Shown Picture;
    };

    std::size_t SpanAt(std::int64_t frame) const;
    Shown Read(std::size_t span) const;
    // The span's picture, read here unless the thread reading ahead has it or is at it.
    Shown Get(std::size_t span);
    // Reads the span's picture (its cache entry already placed, not ready) with the lock let go,
    // then makes it ready for every thread waiting on it.
    Shown ReadUnlocked(std::unique_lock<std::mutex>& lock, std::size_t span);
    // Forgets the pictures away from span, and asks for the next one ahead.
    void KeepAround(std::size_t span);
    void ReadAhead();

    project::ProjectHeader m_header;
    std::vector<project::FrameRecord> m_records;
    std::int32_t m_width;
    std::int32_t m_height;
    project::FrameRate m_rate;
    std::vector<Span> m_spans;
    // What each span's frames carry besides its picture: the captions of the records before it,
    // its place among the pictures (for {index}), and for a title the picture after it.
    struct SpanWords {
        std::vector<project::FrameRecord> Captions;
        std::int64_t PictureIndex = 0;
        std::string NextPicture;
    };
    std::vector<SpanWords> m_words;
    std::int64_t m_pictureCount = 0;

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::map<std::size_t, Entry> m_cache;
    std::optional<std::size_t> m_wanted;  // the picture to read ahead
    std::int64_t m_read = 0;
    bool m_stopping = false;
    std::thread m_reader;
};

}  // namespace kinetar::avi
