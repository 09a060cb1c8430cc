// Saving and reading on Windows: wide names, CR LF bytes, files that another
// program holds open, and the identity behind the changed-on-disk question.
#include "FileIdentity.h"
#include "FormatReader.h"
#include "FormatTree.h"
#include "FormatWriter.h"
#include "SafeFileWriter.h"

#include <gtest/gtest.h>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace tqf {
namespace {

namespace fs = std::filesystem;

constexpr const char* OLD_TEXT = "S1F1W (OLD).\r\n";
constexpr const char* NEW_TEXT = "S1F2 (NEW)\r\n<L[2]\r\n\t<U4 A>\r\n\t<A[n] B>\r\n>.\r\n";

std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const fs::path& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

class WindowsFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = fs::temp_directory_path() /
                 (L"tqf-win-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                  fs::path(::testing::UnitTest::GetInstance()->current_test_info()->name()).wstring());
        fs::create_directories(folder);
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(folder, ec);
    }
    std::vector<std::wstring> Entries(const fs::path& in) const {
        std::vector<std::wstring> names;
        for (const auto& entry : fs::directory_iterator(in)) {
            names.push_back(entry.path().filename().wstring());
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    fs::path folder;
};

// Names beyond any code page, and paths written with backslashes, save and
// read back whole, and leave nothing beside the file.
TEST_F(WindowsFileTest, WideNamesAndBackslashesSaveAndReadBack) {
    fs::create_directories(folder / L"sub folder");
    for (const std::wstring name :
         {L"Ärger ü.TQF", L"日本語 ライブラリ.TQF", L"sub folder\\lib.TQF", L"résumé\u2603.tqf"}) {
        const fs::path path = folder.wstring() + L"\\" + name;
        ASSERT_TRUE(SafeFileWriter::Write(path, OLD_TEXT).written) << path;
        const SaveResult saved = SafeFileWriter::Write(path, NEW_TEXT);
        ASSERT_TRUE(saved.written) << saved.reason;
        EXPECT_EQ(FileIdentity::Of(path), saved.identity);
        FormatTree document;
        FormatReader reader(document);
        const ReadResult read = reader.ReadFormatFile(path);
        EXPECT_TRUE(read.Complete()) << read.errorText;
        EXPECT_EQ(read.identity, saved.identity);
        EXPECT_EQ(FormatWriter::FormatFileText(document.GetRootNode()),
                  std::string(FormatWriter::FILE_HEADER) +
                      "\r\n\r\nS1F2 (NEW)\r\n<L[2]\r\n\t<U4  A>\r\n\t<A[n]  B>\r\n>.\r\n");
        EXPECT_EQ(Entries(path.parent_path()).size(), path.parent_path() == folder ? 2U : 1U) << path;
        fs::remove(path);
    }
}

// The bytes on the disk are those written, CR LF as it is, on every system.
TEST_F(WindowsFileTest, LineEndsReachTheDiskUnchanged) {
    FormatTree document;
    FormatReader reader(document);
    WriteBytes(folder / "lf.TQF", "S1F1W (A).\nS1F2 <L[2]\n<U4>\n<A>>.\n");
    ASSERT_TRUE(reader.ReadFormatFile(folder / "lf.TQF").Complete());
    const fs::path path = folder / "crlf.TQF";
    ASSERT_TRUE(SafeFileWriter::WriteStreamed(path, [&](std::ostream& out) {
                    return FormatWriter::WriteFormatFile(document.GetRootNode(), out);
                }).written);
    const std::string bytes = ReadBytes(path);
    EXPECT_EQ(bytes, FormatWriter::FormatFileText(document.GetRootNode()));
    EXPECT_EQ(bytes.find("\r\r"), std::string::npos);
    for (std::size_t at = bytes.find('\n'); at != std::string::npos; at = bytes.find('\n', at + 1)) {
        ASSERT_EQ(bytes[at - 1], '\r') << at;
    }
}

// A file that another program holds open without letting it be deleted
// cannot be replaced: the save says so and leaves the old file whole; once
// the other program lets go, the save goes through.
TEST_F(WindowsFileTest, AFileOpenInAnotherProgramKeepsItsContents) {
    const fs::path path = folder / "held.TQF";
    WriteBytes(path, OLD_TEXT);
    const HANDLE held = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    const SaveResult refused = SafeFileWriter::Write(path, NEW_TEXT);
    EXPECT_FALSE(refused.written);
    EXPECT_FALSE(refused.damaged);
    EXPECT_NE(refused.reason.find("another program"), std::string::npos) << refused.reason;
    ::CloseHandle(held);
    EXPECT_EQ(ReadBytes(path), OLD_TEXT);
    EXPECT_EQ(Entries(folder), std::vector<std::wstring>{L"held.TQF"});
    EXPECT_TRUE(SafeFileWriter::Write(path, NEW_TEXT).written);
    EXPECT_EQ(ReadBytes(path), NEW_TEXT);
}

// Another program's write shows in the identity; temporary files that a
// killed save left go at the next save, one in use stays.
TEST_F(WindowsFileTest, TheIdentityChangesAndStaleTemporariesGo) {
    const fs::path path = folder / "lib.TQF";
    ASSERT_TRUE(SafeFileWriter::Write(path, OLD_TEXT).written);
    const std::optional<FileIdentity> before = FileIdentity::Of(path);
    ASSERT_TRUE(before.has_value());
    std::ofstream(path, std::ios::binary | std::ios::app) << "S9F9.\r\n";
    EXPECT_NE(FileIdentity::Of(path), before);
    EXPECT_EQ(FileIdentity::Of(folder / "missing.TQF"), std::nullopt);

    for (const char* name : {".lib.TQF.abc123", ".lib.TQF.busy99", ".other.TQF.abc123"}) {
        WriteBytes(folder / name, "left");
    }
    const HANDLE busy = ::CreateFileW((folder / ".lib.TQF.busy99").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
    ASSERT_TRUE(SafeFileWriter::Write(path, NEW_TEXT).written);
    ::CloseHandle(busy);
    EXPECT_EQ(Entries(folder), (std::vector<std::wstring>{L".lib.TQF.busy99", L".other.TQF.abc123", L"lib.TQF"}));
}

// A read-only file that the user chose to overwrite is saved and stays
// read-only; a folder and a missing folder are refused with their reason.
TEST_F(WindowsFileTest, ReadOnlyFilesStayReadOnlyAndFoldersAreRefused) {
    const fs::path path = folder / "locked.TQF";
    WriteBytes(path, OLD_TEXT);
    ASSERT_TRUE(::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_TRUE(IsReadOnlyFile(path));
    const SaveResult saved = SafeFileWriter::Write(path, NEW_TEXT);
    EXPECT_TRUE(saved.written) << saved.reason;
    EXPECT_EQ(ReadBytes(path), NEW_TEXT);
    EXPECT_TRUE(IsReadOnlyFile(path));
    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_FALSE(IsReadOnlyFile(path));

    EXPECT_EQ(SafeFileWriter::Write(folder, NEW_TEXT).reason, "it is a folder");
    const SaveResult missing = SafeFileWriter::Write(folder / "none" / "lib.TQF", NEW_TEXT);
    EXPECT_EQ(missing.reason.rfind("no file can be made in the folder ", 0), 0U) << missing.reason;
    FormatTree document;
    FormatReader reader(document);
    EXPECT_EQ(reader.ReadFormatFile(folder).errorText, "it is a folder");
    EXPECT_EQ(Entries(folder), std::vector<std::wstring>{L"locked.TQF"});
}

} // namespace
} // namespace tqf
