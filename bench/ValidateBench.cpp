// Validating a log of SML messages against a library, against importing the
// same log as from-sml does, in the same run: a library of 5,000 definitions
// and a log of 50,000 messages that match them, values and all; and a
// driver's log against the library made of it.
#include "BenchLibrary.h"
#include "FormatReader.h"
#include "FormatTree.h"
#include "SmlReader.h"
#include "SmlValidator.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

namespace {

constexpr int DEFINITIONS = 5'000;
constexpr int LOG_MESSAGES = 50'000;
constexpr int FUNCTIONS_PER_STREAM = 200;
constexpr int LONGEST_REPORT = 5; // pairs in a message's open list

// "S1F1", the header of a definition.
void AppendHeader(std::string& text, int definition) {
    text += 'S';
    text += std::to_string(1 + definition / FUNCTIONS_PER_STREAM);
    text += 'F';
    text += std::to_string(1 + definition % FUNCTIONS_PER_STREAM);
}

// The library: every definition an event report of a fixed list, a text and
// an open list of pairs; every third one without reply.
std::string LibraryText() {
    std::string text = "/* TALVO SECS MESSAGE FORMAT FILE */\r\n\r\n";
    for (int d = 0; d < DEFINITIONS; ++d) {
        AppendHeader(text, d);
        text += d % 3 == 0 ? "" : "W";
        text += " (EVENT REPORT)\r\n<L[3]\r\n\t<U4  DATAID>\r\n\t<A[40]  LOTID>\r\n\t<L[n]\r\n\t\t<U2  VID>\r\n"
                "\t\t<F4[n]  VALUE>\r\n\t>\r\n>.\r\n\r\n";
    }
    return text;
}

// The same library with rules for every item, which every message of the log
// keeps: a dictionary for the items' names, and rules of some items' own.
std::string LibraryWithRulesText() {
    std::string text = LibraryText();
    const std::string head = "/* TALVO SECS MESSAGE FORMAT FILE */\r\n";
    text.insert(head.size(), "//@ dictionary DATAID: formats U4 U1 U2 U8 I1 I2 I4 I8\r\n"
                             "//@ dictionary LOTID: count ..40\r\n"
                             "//@ dictionary VID: formats U2 U4 A; values 0..1000 \"A\"\r\n"
                             "//@ dictionary VALUE: formats F4 F8; values -5000..5000; optional\r\n");
    // Rules of their own for every list of pairs.
    const std::string list = "\t<L[n]\r\n";
    for (std::size_t at = text.find(list); at != std::string::npos; at = text.find(list, at + 1)) {
        text.insert(at + list.size(), "//@ count ..10\r\n");
    }
    return text;
}

// The log: each message the one of a definition, in the order a tool logs them.
std::string LogText() {
    std::string text;
    for (int m = 0; m < LOG_MESSAGES; ++m) {
        const int d = (m * 7) % DEFINITIONS;
        AppendHeader(text, d);
        text += d % 3 == 0 ? "" : " W";
        text += "\n<L[3]\n  <U4 ";
        text += std::to_string(m);
        text += ">\n  <A \"LOT-";
        text += std::to_string(m % 977);
        text += "\">\n  <L\n";
        for (int p = 0; p < m % LONGEST_REPORT; ++p) {
            text += "    <U2 ";
            text += std::to_string(p);
            text += "> <F4 1.5 -2.25e3>\n";
        }
        text += "  >\n>.\n";
    }
    return text;
}

std::filesystem::path Written(const std::string& name, std::string (*text)()) {
    const std::filesystem::path path = tqf::BenchDataDir() / name;
    if (!std::filesystem::exists(path)) {
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary | std::ios::trunc) << text();
    }
    return path;
}

// state.range(1): the library has rules.
void BM_ValidateSml(benchmark::State& state) {
    tqf::FormatTree library;
    tqf::FormatReader reader(library);
    const bool withRules = state.range(1) != 0;
    (void)reader.ReadFormatFile(withRules ? Written("validate-library-rules.TQF", &LibraryWithRulesText)
                                          : Written("validate-library.TQF", &LibraryText));
    if (withRules && !library.Rules().HasNodeRules()) {
        state.SkipWithError("the rules were not read");
    }
    const std::filesystem::path log = Written("validate-log.sml", &LogText);
    std::size_t passed = 0;
    std::size_t failed = 0;
    for (auto _ : state) {
        tqf::SmlValidator validator(
            library.GetRootNode(), [&failed](const tqf::ValidationFinding&) { ++failed; }, &library.Rules());
        (void)validator.CheckFile(log);
        passed = validator.Passed();
        benchmark::DoNotOptimize(passed);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(std::filesystem::file_size(log)) * state.iterations());
    if (failed != 0) {
        state.SkipWithError("the log does not match its library");
    }
    // The CSV report takes only the counters of the first benchmark, so both
    // report the same one.
    state.counters["messages"] = static_cast<double>(passed);
}

// What from-sml does with a log before it writes: every message imported
// into a document.
void ImportEachTime(benchmark::State& state, const std::filesystem::path& log) {
    std::size_t read = 0;
    for (auto _ : state) {
        auto document = std::make_unique<tqf::FormatTree>();
        tqf::SmlReader reader(*document);
        read = reader.ReadSmlFile(log).messagesRead;
        benchmark::DoNotOptimize(read);
        state.PauseTiming();
        document.reset();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(std::filesystem::file_size(log)) * state.iterations());
    state.counters["messages"] = static_cast<double>(read);
}

void BM_FromSmlLog(benchmark::State& state) { ImportEachTime(state, Written("validate-log.sml", &LogText)); }

// A third of the messages of each kind.
bool Differs(int message) { return (message / 6) % 3 == 0; }

// A driver's log of 50,000 messages, as a fab's host writes it: time stamps
// before the headers, comments after them, other traffic between them, and
// many messages alike (17 in 50 are S1F1 and S1F2 with an empty list). In the
// second log every third message differs from the first's in an item.
std::string DriverLog(bool changed) {
    std::string text;
    for (int m = 0; m < LOG_MESSAGES; ++m) {
        const bool differs = changed && Differs(m);
        const std::string stamp = "2021/03/04 09:12:" + std::to_string(10 + m % 50) + ": [MSG] () ";
        text += "2021/03/04 09:12:05: [DEBUG] (OnEvent@MainForm) SxFy=S1F3, ticket=" + std::to_string(m) + "\r\n";
        switch (m % 6) {
        case 0:
        case 1:
            text += stamp + (m % 6 == 0 ? "AYT: 'S1F1' W /* Dir=2 */\r\n" : "OLD: 'S1F2' /* Dir=1 */\r\n");
            text += differs ? "    <L [1] <A [0] > >\r\n.\r\n" : "    <L [0] >\r\n.\r\n";
            break;
        case 2:
            text += stamp + "ER: 'S6F11' W /* Dir=1 */\r\n  <L [3]\r\n    <U4 [1] " + std::to_string(m) +
                    " >\r\n    <U4 [1] " + std::to_string(m % 40) + " >\r\n    <L [1]\r\n      <L [2]\r\n" +
                    "        <U4 [1] 5 >\r\n        <L [2]\r\n          <A 'LOT-" + std::to_string(m % 4000) +
                    "' >\r\n          <" + (differs ? "I2" : "U2") +
                    " [1] 25 >\r\n        >\r\n      >\r\n    >\r\n  >\r\n.\r\n";
            break;
        case 3:
            text += stamp + "ERA: 'S6F12' /* Dir=2 */\r\n  <" + (differs ? "U1" : "B") + " [1] 0x00 >\r\n.\r\n";
            break;
        default:
            text += stamp + "SSR: 'S1F3' W /* Dir=2 */\r\n    <L [...]\r\n";
            for (int v = 0; v <= m % 8; ++v) {
                text += std::string("        <") + (differs && v == m % 8 ? "U8" : "U4") + " [1] " +
                        std::to_string(1000 + v) + " > /* VID */\r\n";
            }
            text += "     >\r\n.\r\n";
            break;
        }
        if (m % 10 == 0) {
            text += "2021/03/04 09:12:05: [MSG] (Notify@GuiLink) Sending Notify to GUI : [PORTSTATE]\r\n<Attrs>\r\n"
                    "<Attr NAME=\"CMD\">PORTSTATE</Attr>\r\n</Attrs>\r\n";
        }
    }
    return text;
}

std::string CleanDriverLog() { return DriverLog(false); }
std::string ChangedDriverLog() { return DriverLog(true); }

// The changed log against the library from-sml made of the clean one: one
// definition per message, most of them alike, and a third of the messages
// failing, each walked against every definition of its stream and function.
void BM_ValidateDriverLog(benchmark::State& state) {
    tqf::FormatTree library;
    tqf::SmlReader reader(library);
    (void)reader.ReadSmlFile(Written("driver-log-clean.log", &CleanDriverLog));
    const std::filesystem::path log = Written("driver-log-changed.log", &ChangedDriverLog);
    std::size_t failed = 0;
    for (auto _ : state) {
        tqf::SmlValidator validator(library.GetRootNode(), [](const tqf::ValidationFinding&) {});
        (void)validator.CheckFile(log);
        failed = validator.Failed();
        benchmark::DoNotOptimize(failed);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(std::filesystem::file_size(log)) * state.iterations());
    int differing = 0;
    for (int m = 0; m < LOG_MESSAGES; ++m) {
        differing += Differs(m) ? 1 : 0;
    }
    if (failed != static_cast<std::size_t>(differing)) {
        state.SkipWithError("a third of the log should fail");
    }
    state.counters["messages"] = static_cast<double>(LOG_MESSAGES);
}

void BM_FromSmlDriverLog(benchmark::State& state) {
    ImportEachTime(state, Written("driver-log-changed.log", &ChangedDriverLog));
}

BENCHMARK(BM_ValidateSml)->Args({LOG_MESSAGES, 0})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ValidateSml)->Args({LOG_MESSAGES, 1})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FromSmlLog)->Arg(LOG_MESSAGES)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ValidateDriverLog)->Arg(LOG_MESSAGES)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FromSmlDriverLog)->Arg(LOG_MESSAGES)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
