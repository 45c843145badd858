#include "project/Slideshow.h"

#include <algorithm>
#include <array>
#include <limits>
#include <numeric>

#include "common/StopRequest.h"
#include "project/FrameRecordReader.h"
#include "project/TextRecords.h"

namespace kinetar::project {

namespace {

__extension__ typedef unsigned __int128 Wide;  // products of sums of durations and rates

constexpr std::array<std::string_view, 6> kFitNames{"stretch", "top-left", "letterbox", "crop", "centre", "blur"};

// round(numerator / denominator), halves up.
Wide RoundedQuotient(Wide numerator, Wide denominator)
{
    return (2 * numerator + denominator) / (2 * denominator);
}

// Held at the largest int64: a file can ask for durations and rates whose frames and samples do not
// fit in one.
std::int64_t Clamped(Wide value)
{
    constexpr auto kMax = std::numeric_limits<std::int64_t>::max();
    return value > Wide{kMax} ? kMax : static_cast<std::int64_t>(value);
}

// RoundedQuotient, held at the largest int64.
std::int64_t ClampedQuotient(Wide numerator, Wide denominator)
{
    return Clamped(RoundedQuotient(numerator, denominator));
}

// x ms at the rate, in frames, rounded.
std::int64_t MillisecondsToFrames(std::uint64_t milliseconds, FrameRate rate)
{
    return ClampedQuotient(Wide{milliseconds} * rate.Numerator, Wide{1000} * rate.Denominator);
}

FrameRate Reduced(std::uint64_t numerator, std::uint64_t denominator)
{
    const std::uint64_t divisor = std::max<std::uint64_t>(std::gcd(numerator, denominator), 1);
    return {static_cast<std::uint32_t>(numerator / divisor), static_cast<std::uint32_t>(denominator / divisor)};
}

// The rates of the colour television standards, N x 1000/1001, by the decimals they are known by.
struct BroadcastRate {
    std::string_view Text;
    FrameRate Rate;
};
constexpr std::array<BroadcastRate, 5> kBroadcastRates{{{"23.976", {24000, 1001}},
                                                        {"29.97", {30000, 1001}},
                                                        {"47.952", {48000, 1001}},
                                                        {"59.94", {60000, 1001}},
                                                        {"119.88", {120000, 1001}}}};

// A decimal number: digits with at most one point, at least one digit. Its value as
// whole / 10^decimals, nothing when it does not fit in 64 bits.
struct Decimal {
    std::uint64_t Whole = 0;
    std::uint64_t Scale = 1;
};
std::optional<Decimal> ParseDecimal(std::string_view text, int maxDecimals)
{
    Decimal value;
    bool point = false;
    bool digits = false;
    int decimals = 0;
    for (const char c : text) {
        if (c == '.' && !point) {
            point = true;
            continue;
        }
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        if (point && ++decimals > maxDecimals) {
            return std::nullopt;
        }
        digits = true;
        if (value.Whole > (std::numeric_limits<std::uint64_t>::max() - 9) / 10) {
            return std::nullopt;
        }
        value.Whole = value.Whole * 10 + static_cast<std::uint64_t>(c - '0');
        if (point) {
            value.Scale *= 10;
        }
    }
    if (!digits) {
        return std::nullopt;
    }
    return value;
}

std::string_view Trimmed(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::string WithThousands(std::int64_t value)
{
    std::string digits = std::to_string(value);
    for (auto at = static_cast<std::ptrdiff_t>(digits.size()) - 3; at > (digits[0] == '-' ? 1 : 0); at -= 3) {
        digits.insert(static_cast<std::size_t>(at), ",");
    }
    return digits;
}

}  // namespace

FitMode GetFit(const FrameRecord& record)
{
    switch (record.Fit) {
    case 1:
        return FitMode::Letterbox;
    case 2:
        return FitMode::Crop;
    case 3:
        return FitMode::Centre;
    case 4:
        return FitMode::Blur;
    default:
        return record.Stretch != 0 ? FitMode::Stretch : FitMode::TopLeft;
    }
}

void SetFit(FrameRecord& record, FitMode mode)
{
    switch (mode) {
    case FitMode::Stretch:
    case FitMode::TopLeft:
        record.Fit = 0;
        record.Stretch = mode == FitMode::Stretch ? 1 : 0;
        break;
    case FitMode::Letterbox:
    case FitMode::Crop:
        record.Fit = mode == FitMode::Letterbox ? 1 : 2;
        record.Stretch = 1;
        break;
    case FitMode::Centre:
        record.Fit = 3;
        record.Stretch = 0;
        break;
    case FitMode::Blur:
        record.Fit = 4;
        record.Stretch = 1;
        break;
    }
}

std::string_view FitModeName(FitMode mode)
{
    return kFitNames[static_cast<std::size_t>(mode)];
}

std::optional<FitMode> FitModeFromName(std::string_view name)
{
    const auto found = std::find(kFitNames.begin(), kFitNames.end(), name);
    if (found == kFitNames.end()) {
        return std::nullopt;
    }
    return static_cast<FitMode>(found - kFitNames.begin());
}

FrameRate GetFrameRate(const ProjectHeader& header)
{
    const std::int32_t numerator = header.FramesPerSecond;
    const std::uint32_t denominator = header.RateDenominator;
    return {numerator > 0 ? static_cast<std::uint32_t>(numerator) : 0U, denominator == 0 ? 1U : denominator};
}

void SetFrameRate(ProjectHeader& header, FrameRate rate)
{
    header.FramesPerSecond = static_cast<std::int32_t>(rate.Numerator);
    header.RateDenominator = rate.Denominator == 1 ? 0U : rate.Denominator;
}

std::optional<FrameRate> ParseFrameRate(std::string_view text)
{
    text = Trimmed(text);
    std::uint64_t numerator = 0;
    std::uint64_t denominator = 1;
    if (const auto slash = text.find('/'); slash != std::string_view::npos) {
        const auto top = ParseDecimal(text.substr(0, slash), 0);
        const auto bottom = ParseDecimal(text.substr(slash + 1), 0);
        if (!top || !bottom) {
            return std::nullopt;
        }
        numerator = top->Whole;
        denominator = bottom->Whole;
    } else {
        const auto value = ParseDecimal(text, 9);
        if (!value) {
            return std::nullopt;
        }
        numerator = value->Whole;
        denominator = value->Scale;
        for (const BroadcastRate& broadcast : kBroadcastRates) {
            const auto known = ParseDecimal(broadcast.Text, 9);
            if (Wide{known->Whole} * denominator == Wide{numerator} * known->Scale) {
                return broadcast.Rate;
            }
        }
    }
    if (numerator == 0 || denominator == 0) {
        return std::nullopt;
    }
    const std::uint64_t divisor = std::gcd(numerator, denominator);
    numerator /= divisor;
    denominator /= divisor;
    if (numerator > std::numeric_limits<std::int32_t>::max() ||
        denominator > std::numeric_limits<std::uint32_t>::max()) {
        return std::nullopt;
    }
    return FrameRate{static_cast<std::uint32_t>(numerator), static_cast<std::uint32_t>(denominator)};
}

std::string FormatFrameRate(FrameRate rate)
{
    rate = Reduced(rate.Numerator, rate.Denominator);
    if (rate.Denominator == 1) {
        return std::to_string(rate.Numerator);
    }
    for (const BroadcastRate& broadcast : kBroadcastRates) {
        if (broadcast.Rate == rate) {
            return std::string(broadcast.Text);
        }
    }
    // A denominator of only twos and fives has a finite decimal.
    std::uint64_t scale = 1;
    int decimals = 0;
    while (scale % rate.Denominator != 0 && decimals < 9) {
        scale *= 10;
        ++decimals;
    }
    if (scale % rate.Denominator != 0) {
        return std::to_string(rate.Numerator) + "/" + std::to_string(rate.Denominator);
    }
    const std::uint64_t scaled = std::uint64_t{rate.Numerator} * (scale / rate.Denominator);
    std::string fraction = std::to_string(scaled % scale);
    fraction.insert(0, static_cast<std::size_t>(decimals) - fraction.size(), '0');
    return std::to_string(scaled / scale) + "." + fraction;
}

std::optional<std::uint32_t> ParseSeconds(std::string_view text)
{
    text = Trimmed(text);
    const auto point = std::min(text.find('.'), text.size());
    const std::string_view whole = text.substr(0, point);
    const std::string_view fraction = text.substr(std::min(point + 1, text.size()));
    const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    if (whole.size() + fraction.size() == 0 || whole.size() > 9 || !std::all_of(whole.begin(), whole.end(), isDigit) ||
        !std::all_of(fraction.begin(), fraction.end(), isDigit)) {
        return std::nullopt;
    }
    std::uint64_t milliseconds = 0;
    for (const char c : whole) {
        milliseconds = milliseconds * 10 + static_cast<std::uint64_t>(c - '0');
    }
    // Thousandths are kept, the next digit rounds, the rest is dropped.
    for (std::size_t i = 0; i < 3; ++i) {
        milliseconds = milliseconds * 10 + (i < fraction.size() ? static_cast<std::uint64_t>(fraction[i] - '0') : 0U);
    }
    if (fraction.size() > 3 && fraction[3] >= '5') {
        ++milliseconds;
    }
    if (milliseconds > kMaxMilliseconds) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(milliseconds);
}

std::string FormatSeconds(std::uint32_t milliseconds)
{
    std::string text = std::to_string(milliseconds / 1000);
    if (const std::uint32_t rest = milliseconds % 1000; rest != 0) {
        std::string fraction = std::to_string(rest + 1000).substr(1);
        fraction.erase(fraction.find_last_not_of('0') + 1);
        text += "." + fraction;
    }
    return text;
}

std::int64_t Timeline::Advance(std::uint32_t durationMilliseconds)
{
    if (durationMilliseconds == 0) {
        ++m_singleFrames;
    } else {
        m_milliseconds += durationMilliseconds;
    }
    const std::int64_t exact =
        Clamped(Wide{m_singleFrames} + static_cast<std::uint64_t>(MillisecondsToFrames(m_milliseconds, m_rate)));
    m_start = std::max(exact, m_start == std::numeric_limits<std::int64_t>::max() ? m_start : m_start + 1);
    return m_start;
}

std::int64_t CrossfadeFrames(std::uint32_t milliseconds, FrameRate rate, std::int64_t span)
{
    return std::min(MillisecondsToFrames(milliseconds, rate), span);
}

bool IsSoundRecord(const FrameRecord& record)
{
    return record.Reserved1 == kSoundRecord;
}

FrameRecord NewSoundRecord(std::string_view soundPath)
{
    FrameRecord record = NewFrameRecord(soundPath);
    record.Reserved1 = kSoundRecord;
    record.Stretch = 0;
    return record;
}

namespace {

// recordAt(i, record) fills in record i; false ends the walk.
template <typename RecordAt>
TimelineSummary Summarise(RecordAt recordAt, FrameRate rate, bool withCues)
{
    TimelineSummary summary;
    Timeline timeline(rate);
    FrameRecord record;
    for (std::int32_t i = 0; i < std::numeric_limits<std::int32_t>::max() && recordAt(i, record); ++i) {
        if (!TakesNoVideoTime(record)) {
            timeline.Advance(record.Duration);
            summary.Pictures += IsPictureRecord(record) ? 1 : 0;
        } else if (withCues && IsSoundRecord(record)) {
            summary.Cues.push_back({i, timeline.Frames()});
        }
    }
    summary.VideoFrames = timeline.Frames();
    return summary;
}

auto RecordsOf(std::span<const FrameRecord> records)
{
    return [records](std::int32_t i, FrameRecord& record) {
        if (static_cast<std::size_t>(i) >= records.size()) {
            return false;
        }
        record = records[static_cast<std::size_t>(i)];
        return true;
    };
}

}  // namespace

std::int64_t VideoFrameCount(std::span<const FrameRecord> records, FrameRate rate)
{
    return Summarise(RecordsOf(records), rate, false).VideoFrames;
}

std::vector<SoundCue> SoundCues(std::span<const FrameRecord> records, FrameRate rate)
{
    return Summarise(RecordsOf(records), rate, true).Cues;
}

TimelineSummary SummariseTimeline(const FrameRecordReader& records, FrameRate rate)
{
    // A walk through millions of records takes a second: a stop asked of the process ends it where
    // it is, and the run it prepares stops at its first report.
    return Summarise(
        [&](std::int32_t i, FrameRecord& record) {
            return i < records.Count() && !StopRequestedAt(i) && records.Read(i, record);
        },
        rate, true);
}

namespace {

// "2:05.3", "1:02:03.5".
std::string TenthsText(std::uint64_t tenths)
{
    const std::uint64_t seconds = tenths / 10;
    std::string text;
    const auto twoDigits = [](std::uint64_t value) { return (value < 10 ? "0" : "") + std::to_string(value); };
    if (seconds >= 3600) {
        text = std::to_string(seconds / 3600) + ":" + twoDigits(seconds / 60 % 60);
    } else {
        text = std::to_string(seconds / 60);
    }
    return text + ":" + twoDigits(seconds % 60) + "." + std::to_string(tenths % 10);
}

}  // namespace

std::string FrameTimeText(std::int64_t frame, FrameRate rate)
{
    return TenthsText(static_cast<std::uint64_t>(
        RoundedQuotient(Wide{static_cast<std::uint64_t>(std::max<std::int64_t>(frame, 0))} * 10 * rate.Denominator,
                        std::max<std::uint32_t>(rate.Numerator, 1))));
}

std::string SampleTimeText(std::int64_t sample)
{
    return TenthsText(static_cast<std::uint64_t>(
        RoundedQuotient(Wide{static_cast<std::uint64_t>(std::max<std::int64_t>(sample, 0))} * 10, kSoundSampleRate)));
}

std::string VideoLengthText(std::int64_t frames, FrameRate rate)
{
    return FrameTimeText(frames, rate) + " \u2014 " + WithThousands(frames) + (frames == 1 ? " frame" : " frames");
}

std::string PictureTimingText(std::int64_t startFrame, std::uint32_t durationMilliseconds,
                              std::uint32_t crossfadeMilliseconds, FrameRate rate)
{
    std::string text =
        FrameTimeText(startFrame, rate) + " \u00b7 " +
        (durationMilliseconds == 0 ? std::string("1 frame") : FormatSeconds(durationMilliseconds) + " s");
    if (crossfadeMilliseconds != 0) {
        text += " \u00b7 \u2194 " + FormatSeconds(crossfadeMilliseconds) + " s";
    }
    return text;
}

std::string SoundTimingText(std::int64_t startSample, std::optional<std::int64_t> lengthSamples, bool heard)
{
    if (!heard) {
        return "not heard";
    }
    std::string text = "\u25b6 " + SampleTimeText(startSample);
    if (lengthSamples) {
        text += " \u00b7 " + SampleTimeText(*lengthSamples);
    }
    return text;
}

std::int64_t SampleAtFrame(std::int64_t frame, FrameRate rate)
{
    return ClampedQuotient(
        Wide{static_cast<std::uint64_t>(std::max<std::int64_t>(frame, 0))} * kSoundSampleRate * rate.Denominator,
        std::max<std::uint32_t>(rate.Numerator, 1));
}

std::int64_t SampleMilliseconds(std::int64_t samples)
{
    return ClampedQuotient(Wide{static_cast<std::uint64_t>(std::max<std::int64_t>(samples, 0))} * 1000,
                           kSoundSampleRate);
}

std::vector<std::int64_t> SoundStarts(std::span<const SoundCue> cues, std::span<const std::int64_t> lengths,
                                      FrameRate rate)
{
    std::vector<std::int64_t> starts;
    starts.reserve(cues.size() + 1);
    std::int64_t end = 0;
    for (std::size_t i = 0; i < cues.size(); ++i) {
        const std::int64_t start = std::max(SampleAtFrame(cues[i].Frame, rate), end);
        starts.push_back(start);
        const std::int64_t length = i < lengths.size() ? std::max<std::int64_t>(lengths[i], 0) : 0;
        end = Clamped(Wide{static_cast<std::uint64_t>(start)} + static_cast<std::uint64_t>(length));
    }
    starts.push_back(end);
    return starts;
}

}  // namespace kinetar::project
