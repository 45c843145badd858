#include "avi/engine/ShowFrames.h"

#include <algorithm>

#include "avi/engine/FrameText.h"
#include "common/Error.h"
#include "pictures/LoadPicture.h"
#include "project/TextRecords.h"

namespace kinetar::avi {

void ComposeShowFrame(const ShownPicture* current, const ShownPicture* previous, std::int64_t k, std::int64_t fade,
                      pictures::PaletteEntry background, WorkingFrame& frame)
{
    if (current == nullptr) {
        frame.Fill(background);
        return;
    }
    DrawShownPicture(*current, k, frame);
    // A crossfade blends from the picture before, when it could be read: the render cuts in
    // after a picture it had to leave out.
    if (k >= fade || previous == nullptr) {
        return;
    }
    WorkingFrame from(frame.Width(), frame.Height());
    DrawShownPicture(*previous, previous->Frames + k, from);
    WorkingFrame blended(frame.Width(), frame.Height());
    BlendFrames(from, frame, k, fade, blended);
    frame = std::move(blended);
}

std::int64_t FrameAtSample(std::int64_t sample, project::FrameRate rate)
{
    if (sample <= 0 || rate.Numerator == 0) {
        return 0;
    }
    __extension__ typedef unsigned __int128 Wide;
    auto frame = static_cast<std::int64_t>(Wide{static_cast<std::uint64_t>(sample)} * rate.Numerator /
                                           (Wide{project::kSoundSampleRate} * rate.Denominator));
    // SampleAtFrame rounds, so the frame may start a sample either side of the quotient.
    while (frame > 0 && project::SampleAtFrame(frame, rate) > sample) {
        --frame;
    }
    while (project::SampleAtFrame(frame + 1, rate) <= sample) {
        ++frame;
    }
    return frame;
}

ShowFrames::ShowFrames(const project::ProjectHeader& header, std::vector<project::FrameRecord> records,
                       std::int32_t width, std::int32_t height)
    : m_header(header),
      m_records(std::move(records)),
      m_width(width),
      m_height(height),
      m_rate(project::GetFrameRate(header))
{
    if (m_rate.Numerator == 0) {
        throw Error("The frame rate is not positive");
    }
    project::Timeline timeline(m_rate);
    std::vector<project::FrameRecord> captions;
    std::int64_t pictures = 0;
    for (std::size_t i = 0; i < m_records.size(); ++i) {
        if (project::IsCaptionRecord(m_records[i])) {
            captions.push_back(m_records[i]);
        }
        if (project::TakesNoVideoTime(m_records[i])) {
            continue;
        }
        const std::int64_t first = timeline.Frames();
        m_spans.push_back({static_cast<std::int32_t>(i), first, timeline.Advance(m_records[i].Duration)});
        SpanWords words{std::move(captions), pictures, {}};
        captions.clear();
        if (project::IsPictureRecord(m_records[i])) {
            ++pictures;
        } else {
            // A title's blurred background is made of the picture after it.
            const auto next = std::find_if(m_records.begin() + static_cast<std::ptrdiff_t>(i) + 1, m_records.end(),
                                           project::IsPictureRecord);
            if (next != m_records.end()) {
                words.NextPicture = project::GetText(next->PictureFileName);
            }
        }
        m_words.push_back(std::move(words));
    }
    m_pictureCount = pictures;
    m_reader = std::thread([this] { ReadAhead(); });
}

ShowFrames::~ShowFrames()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    m_reader.join();
}

std::int64_t ShowFrames::FrameCount() const
{
    return m_spans.empty() ? 0 : m_spans.back().End;
}

std::size_t ShowFrames::SpanAt(std::int64_t frame) const
{
    const auto after = std::upper_bound(m_spans.begin(), m_spans.end(), frame,
                                        [](std::int64_t f, const Span& span) { return f < span.End; });
    return static_cast<std::size_t>(after - m_spans.begin());
}

std::optional<std::int32_t> ShowFrames::RecordAt(std::int64_t frame) const
{
    const std::size_t span = SpanAt(frame);
    if (frame < 0 || span >= m_spans.size()) {
        return std::nullopt;
    }
    return m_spans[span].Record;
}

std::int64_t ShowFrames::FirstFrameOf(std::int32_t record) const
{
    const auto at = std::lower_bound(m_spans.begin(), m_spans.end(), record,
                                     [](const Span& span, std::int32_t r) { return span.Record < r; });
    return at == m_spans.end() ? FrameCount() : at->First;
}

ShowFrames::Shown ShowFrames::Read(std::size_t span) const
{
    const project::FrameRecord& record = m_records[static_cast<std::size_t>(m_spans[span].Record)];
    const SpanWords& words = m_words[span];
    try {
        std::shared_ptr<const pictures::DecodedPicture> picture =
            LoadFramePicture(record, m_header, words.NextPicture,
                             PictureRequestFor(m_header, record, m_width, m_height), m_width, m_height);
        ShownPicture shown = MakeShownPicture(std::move(picture), m_header, record, static_cast<std::int64_t>(span),
                                              m_spans[span].End - m_spans[span].First, m_width, m_height);
        shown.Captions = DrawCaptions(words.Captions, record, words.PictureIndex, m_pictureCount, m_width, m_height);
        return std::make_shared<const ShownPicture>(std::move(shown));
    } catch (const Error&) {
        return nullptr;
    }
}

ShowFrames::Shown ShowFrames::Get(std::size_t span)
{
    std::unique_lock lock(m_mutex);
    // Another thread may be reading it; a picture forgotten meanwhile is read here.
    for (auto at = m_cache.find(span); at != m_cache.end(); at = m_cache.find(span)) {
        if (at->second.Ready) {
            return at->second.Picture;
        }
        m_changed.wait(lock);
    }
    m_cache.try_emplace(span);
    return ReadUnlocked(lock, span);
}

ShowFrames::Shown ShowFrames::ReadUnlocked(std::unique_lock<std::mutex>& lock, std::size_t span)
{
    lock.unlock();
    Shown shown = Read(span);
    lock.lock();
    m_cache[span] = {true, shown};
    ++m_read;
    m_changed.notify_all();
    return shown;
}

void ShowFrames::KeepAround(std::size_t span)
{
    {
        const std::lock_guard lock(m_mutex);
        // Ready pictures away from here go; one being read stays until it is ready.
        std::erase_if(m_cache, [&](const auto& item) {
            return item.second.Ready && (item.first + 1 < span || item.first > span + 1);
        });
        // Only the latest wish counts: after a seek, the picture after the old place is not needed.
        m_wanted.reset();
        if (span + 1 < m_spans.size() && !m_cache.contains(span + 1)) {
            m_wanted = span + 1;
        }
    }
    m_changed.notify_all();
}

void ShowFrames::ReadAhead()
{
    std::unique_lock lock(m_mutex);
    while (true) {
        m_changed.wait(lock, [&] { return m_stopping || m_wanted.has_value(); });
        if (m_stopping) {
            return;
        }
        const std::size_t span = *m_wanted;
        m_wanted.reset();
        if (!m_cache.try_emplace(span).second) {
            continue;  // asked for in the meantime
        }
        ReadUnlocked(lock, span);
    }
}

std::int64_t ShowFrames::PicturesRead() const
{
    const std::lock_guard lock(m_mutex);
    return m_read;
}

void ShowFrames::Frame(std::int64_t frame, WorkingFrame& out)
{
    const std::size_t span = SpanAt(frame);
    if (frame < 0 || span >= m_spans.size()) {
        throw Error("The video has " + std::to_string(FrameCount()) + " frames; there is no frame " +
                    std::to_string(frame));
    }
    const Span& place = m_spans[span];
    const project::FrameRecord& record = m_records[static_cast<std::size_t>(place.Record)];
    const Shown current = Get(span);
    const std::int64_t k = frame - place.First;
    const std::int64_t fade =
        span > 0 ? project::CrossfadeFrames(record.Crossfade, m_rate, place.End - place.First) : 0;
    const Shown previous = k < fade ? Get(span - 1) : nullptr;
    KeepAround(span);
    ComposeShowFrame(current.get(), previous.get(), k, fade, FitOptionsFor(m_header, record).Background, out);
}

std::unique_ptr<WorkingFrame> ShowFrames::Frame(std::int64_t frame)
{
    auto out = std::make_unique<WorkingFrame>(m_width, m_height);
    Frame(frame, *out);
    return out;
}

}  // namespace kinetar::avi
