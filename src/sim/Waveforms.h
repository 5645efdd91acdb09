#pragma once

// A recorded run as text other tools read: VCD for waveform viewers, WaveDrom's WaveJSON for
// timing pictures, CSV for spreadsheets. Each takes the recorder's names and changes (in time
// order, every level 0 before the first) and the run's end; changes after the end are left out.
// A level is the one at the end of its millisecond, so a signal that changes and changes back
// within one millisecond shows no change. Text that would grow past limit bytes raises
// std::length_error instead.
//
// The changes come as a plain list, returning the text, or as a recorder's packed changes, read
// in place and handed to a sink in pieces, so that a long recording is never copied; when the
// limit is passed the sink has had part of the text.

#include "Recorder.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <span>
#include <string>
#include <string_view>

constexpr std::size_t NoTextLimit = std::numeric_limits<std::size_t>::max();

// Takes the text piece by piece, in order (a piece is at most about 64 KiB).
using TTextSink = std::function<void(std::string_view piece)>;

// One module named scope, a one-bit wire per signal, time in milliseconds: the levels at the
// end of 0 as the dump's start, then each later time with the signals that differ, then the end.
std::string VcdText(std::span<const std::string> names, std::span<const TLevelChange> changes,
                    std::int64_t end, std::string_view scope, std::size_t limit = NoTextLimit);
void WriteVcd(const TTextSink &sink, std::span<const std::string> names,
              const TLevelChanges &changes, std::int64_t end, std::string_view scope,
              std::size_t limit = NoTextLimit);

// A wave per signal with a character per sample at 0, sample, 2 * sample ... up to the end:
// the level, or '.' while it stays as at the sample before.
std::string WaveDromText(std::span<const std::string> names, std::span<const TLevelChange> changes,
                         std::int64_t end, std::int64_t sample, std::size_t limit = NoTextLimit);
void WriteWaveDrom(const TTextSink &sink, std::span<const std::string> names,
                   const TLevelChanges &changes, std::int64_t end, std::int64_t sample,
                   std::size_t limit = NoTextLimit);

// A header "time_ms,<names>", the levels at the end of 0, then a row for each later time at
// which a level differs from the row before.
std::string CsvText(std::span<const std::string> names, std::span<const TLevelChange> changes,
                    std::int64_t end, std::size_t limit = NoTextLimit);
void WriteCsv(const TTextSink &sink, std::span<const std::string> names,
              const TLevelChanges &changes, std::int64_t end, std::size_t limit = NoTextLimit);
