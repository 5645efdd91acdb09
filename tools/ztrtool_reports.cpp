#include "BatchReport.h"

#include "ZtrTool.h"

#include <cstdio>

namespace {

using TStatus = TFileOutcome::TStatus;

std::string Seconds(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6f", seconds < 0 ? 0 : seconds);
    return text;
}

// Why a row failed: "expected 0 1, got 1 1" or "did not settle within N ms".
std::string RowFault(const TTruthTable &table, const TFileOutcome &file, std::size_t row) {
    if (!file.Rows[row].Settled)
        return "did not settle within " + std::to_string(file.MaxRun) + " ms";
    return "expected " + LevelText(table.Rows[row].Outputs) + ", got " +
           LevelText(file.Rows[row].Got);
}

std::string FileFault(const TFileOutcome &file) {
    return file.Status == TStatus::Timeout ? "timeout" : "error: " + file.Reason;
}

// Text for an XML attribute or element: the five marks escaped, line breaks and tabs as
// references (an attribute would lose them), other control characters (not allowed in XML)
// shown as U+FFFD.
std::string Xml(std::string_view text) {
    std::string escaped;
    for (const char c : ValidUtf8(text)) {
        switch (c) {
        case '&':
            escaped += "&amp;";
            break;
        case '<':
            escaped += "&lt;";
            break;
        case '>':
            escaped += "&gt;";
            break;
        case '"':
            escaped += "&quot;";
            break;
        case '\'':
            escaped += "&apos;";
            break;
        case '\n':
            escaped += "&#10;";
            break;
        case '\r':
            escaped += "&#13;";
            break;
        case '\t':
            escaped += "&#9;";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20)
                escaped += "\xEF\xBF\xBD";
            else
                escaped += c;
        }
    }
    return escaped;
}

std::string Json(std::string_view text) {
    std::string quoted = "\"";
    for (const char c : ValidUtf8(text)) {
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", unsigned(c));
            quoted += escape;
        } else {
            quoted += c;
        }
    }
    return quoted + '"';
}

const char *StatusName(TStatus status) {
    return status == TStatus::Ran ? "ran" : status == TStatus::Error ? "error" : "timeout";
}

} // namespace

TTally Tally(const TTruthTable &table, const TFileOutcome &file) {
    TTally tally;
    for (std::size_t row = 0; row < table.Rows.size(); ++row) {
        const bool passed = file.Status == TStatus::Ran && file.Rows[row].Passed;
        ++(passed ? tally.Passed : tally.Failed);
        tally.Weight += table.Rows[row].Weight;
        if (passed) tally.PassedWeight += table.Rows[row].Weight;
    }
    return tally;
}

std::string LevelText(const std::vector<TTableValue> &values) {
    std::string text;
    for (const TTableValue value : values) {
        if (!text.empty()) text += ' ';
        text += "01XC"[std::size_t(value)];
    }
    return text;
}

std::string LevelText(const std::vector<TLevel> &levels) {
    std::string text;
    for (const TLevel level : levels) {
        if (!text.empty()) text += ' ';
        text += level ? '1' : '0';
    }
    return text;
}

std::string FileText(const TTruthTable &table, const TFileOutcome &file) {
    if (file.Status != TStatus::Ran) return file.Name + ": " + FileFault(file) + "\n";
    const TTally tally = Tally(table, file);
    std::string text = file.Name + ": " + std::to_string(tally.Passed) + " passed, " +
                       std::to_string(tally.Failed) + " failed\n";
    for (std::size_t row = 0; row < file.Rows.size(); ++row)
        if (!file.Rows[row].Passed)
            text += "  line " + std::to_string(table.Rows[row].Line) + ": " +
                    RowFault(table, file, row) + "\n";
    return text;
}

std::string JUnitReport(const TTruthTable &table, std::string_view tableName,
                        const std::vector<TFileOutcome> &files) {
    std::string suites;
    std::size_t tests = 0, failures = 0, errors = 0;
    double total = 0;
    for (const TFileOutcome &file : files) {
        const bool ran = file.Status == TStatus::Ran;
        const TTally tally = Tally(table, file);
        const std::size_t rows = table.Rows.size();
        tests += rows;
        (ran ? failures : errors) += tally.Failed;
        total += file.Seconds;
        // CI systems take the part before a last dot for a package.
        std::string className = file.Name;
        if (IsNetworkFileName(className)) className.resize(className.size() - 4);
        for (char &c : className)
            if (c == '.') c = '_';
        suites += "  <testsuite name=\"" + Xml(file.Name) + "\" tests=\"" + std::to_string(rows) +
                  "\" failures=\"" + std::to_string(ran ? tally.Failed : 0) + "\" errors=\"" +
                  std::to_string(ran ? 0 : rows) + "\" skipped=\"0\" time=\"" +
                  Seconds(file.Seconds) + "\">\n";
        for (std::size_t row = 0; row < rows; ++row) {
            const TTableRow &tableRow = table.Rows[row];
            suites += "    <testcase name=\"line " + std::to_string(tableRow.Line) + ": " +
                      LevelText(tableRow.Inputs) + " | " + LevelText(tableRow.Outputs) +
                      "\" classname=\"" + Xml(className) + "\" time=\"" +
                      Seconds(ran ? file.Rows[row].Seconds : 0) + "\"";
            if (ran && file.Rows[row].Passed) {
                suites += "/>\n";
                continue;
            }
            std::string element, message, type;
            if (ran) {
                element = "failure";
                message = RowFault(table, file, row);
                type = file.Rows[row].Settled ? "wrong levels" : "not settled";
            } else {
                element = "error";
                message = file.Status == TStatus::Timeout ? "timeout" : file.Reason;
                type = file.Status == TStatus::Timeout ? "timeout" : "not run";
            }
            suites += ">\n      <" + element + " message=\"" + Xml(message) + "\" type=\"" + type +
                      "\">" + Xml(message) + "</" + element + ">\n    </testcase>\n";
        }
        suites += "  </testsuite>\n";
    }
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites name=\"" +
           Xml(std::string(tableName)) + "\" tests=\"" + std::to_string(tests) + "\" failures=\"" +
           std::to_string(failures) + "\" errors=\"" + std::to_string(errors) + "\" time=\"" +
           Seconds(total) + "\">\n" + suites + "</testsuites>\n";
}

std::string JsonReport(const TTruthTable &table, std::string_view tableName,
                       const std::vector<TFileOutcome> &files) {
    std::string text = "{\n  \"table\": " + Json(tableName) + ",\n  \"files\": [";
    TTally all;
    std::size_t errors = 0, timeouts = 0, passedFiles = 0;
    for (std::size_t f = 0; f < files.size(); ++f) {
        const TFileOutcome &file = files[f];
        const bool ran = file.Status == TStatus::Ran;
        const TTally tally = Tally(table, file);
        all.Passed += tally.Passed;
        all.Failed += tally.Failed;
        all.PassedWeight += tally.PassedWeight;
        all.Weight += tally.Weight;
        errors += file.Status == TStatus::Error;
        timeouts += file.Status == TStatus::Timeout;
        passedFiles += tally.Failed == 0;
        text += std::string(f > 0 ? "," : "") + "\n    {\"name\": " + Json(file.Name) +
                ", \"status\": \"" + StatusName(file.Status) + "\"";
        if (file.Status == TStatus::Error) text += ", \"error\": " + Json(file.Reason);
        text += ",\n     \"rows\": [";
        for (std::size_t row = 0; row < table.Rows.size(); ++row) {
            const TTableRow &tableRow = table.Rows[row];
            const bool settled = ran && file.Rows[row].Settled;
            text +=
                std::string(row > 0 ? "," : "") +
                "\n      {\"line\": " + std::to_string(tableRow.Line) +
                ", \"weight\": " + std::to_string(tableRow.Weight) + ", \"inputs\": \"" +
                LevelText(tableRow.Inputs) + "\", \"expected\": \"" + LevelText(tableRow.Outputs) +
                "\", \"got\": " + (settled ? "\"" + LevelText(file.Rows[row].Got) + "\"" : "null") +
                ", \"settled\": " + (settled ? "true" : "false") +
                ", \"passed\": " + (ran && file.Rows[row].Passed ? "true" : "false") +
                ", \"seconds\": " + Seconds(ran ? file.Rows[row].Seconds : 0) + "}";
        }
        text += "],\n     \"passed\": " + std::to_string(tally.Passed) +
                ", \"failed\": " + std::to_string(tally.Failed) +
                ", \"score\": " + Seconds(tally.Score()) +
                ", \"seconds\": " + Seconds(file.Seconds) + "}";
    }
    text += "\n  ],\n  \"totals\": {\"files\": " + std::to_string(files.size()) +
            ", \"files_passed\": " + std::to_string(passedFiles) +
            ", \"errors\": " + std::to_string(errors) +
            ", \"timeouts\": " + std::to_string(timeouts) +
            ", \"passed\": " + std::to_string(all.Passed) +
            ", \"failed\": " + std::to_string(all.Failed) + ", \"score\": " + Seconds(all.Score()) +
            "}\n}\n";
    return text;
}

std::string ValidUtf8(std::string_view text) {
    std::string valid;
    for (std::size_t at = 0; at < text.size();) {
        const auto byte = static_cast<unsigned char>(text[at]);
        const std::size_t length = byte < 0x80                    ? 1
                                   : byte >= 0xC2 && byte <= 0xDF ? 2
                                   : byte >= 0xE0 && byte <= 0xEF ? 3
                                   : byte >= 0xF0 && byte <= 0xF4 ? 4
                                                                  : 0;
        bool good = length > 0 && at + length <= text.size();
        for (std::size_t i = 1; good && i < length; ++i)
            good = (static_cast<unsigned char>(text[at + i]) & 0xC0) == 0x80;
        if (good && length >= 3) {
            // No overlong forms, surrogates or code points past U+10FFFF.
            const auto second = static_cast<unsigned char>(text[at + 1]);
            good = !(byte == 0xE0 && second < 0xA0) && !(byte == 0xED && second >= 0xA0) &&
                   !(byte == 0xF0 && second < 0x90) && !(byte == 0xF4 && second >= 0x90);
        }
        if (good) {
            valid.append(text.substr(at, length));
            at += length;
        } else {
            valid += "\xEF\xBF\xBD";
            ++at;
        }
    }
    return valid;
}
