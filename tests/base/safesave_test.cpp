// A file saved for the user replaces the old one whole or not at all: the
// save helper on its own, and the text-file writer that uses it, against a
// disk that fills up in the middle of a write.
#include "base/safesave.h"
#include "base/textfile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <windows.h>

#include "tests/base/filefault.h"

namespace {

namespace fs = std::filesystem;
using filefault::Names;

class SafeSaveTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/tavrelix-safesave-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
    }
    void TearDown() override { fs::remove_all(dir_); }

    fs::path path(const char* name) const { return dir_ / name; }
    static std::u16string wide(const fs::path& p) { return Utf8ToWide(p.string().c_str()); }
    static void put(const fs::path& file, const std::string& bytes) {
        std::ofstream(file, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    static std::string get(const fs::path& file) {
        std::ifstream in(file, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    static unsigned modeOf(const fs::path& file) {
        struct stat st {};
        stat(file.c_str(), &st);
        return st.st_mode & 07777;
    }
    // The user's earlier export: 8,893 bytes of its own.
    static std::string oldContent() {
        std::string s;
        for (int i = 0; s.size() < 8893; ++i) s += "old," + std::to_string(i) + "\r\n";
        s.resize(8893);
        return s;
    }

    fs::path dir_;
};

TEST_F(SafeSaveTest, TheNewFileTakesTheTargetsPlaceOnlyOnCommitKeepingItsPermissions) {
    const fs::path target = path("out.csv");
    put(target, oldContent());
    chmod(target.c_str(), 0640);

    SafeSave save;
    ASSERT_EQ(safesave_begin(&save, wide(target).c_str()), 1);
    const fs::path temp(WideToUtf8(save.temp_path.GetString()));
    // An empty file of its own in the target's folder; the target untouched.
    EXPECT_EQ(temp.parent_path(), dir_);
    EXPECT_NE(temp, target);
    EXPECT_TRUE(fs::is_regular_file(temp));
    EXPECT_EQ(fs::file_size(temp), 0u);
    EXPECT_EQ(get(target), oldContent());
    put(temp, "new");
    EXPECT_EQ(get(target), oldContent());

    ASSERT_EQ(safesave_commit(&save), 1);
    EXPECT_EQ(get(target), "new");
    EXPECT_EQ(modeOf(target), 0640u);
    EXPECT_EQ(Names(dir_), std::set<std::string>{"out.csv"});

    // A new name, with backslashes: the file is made.
    std::u16string back = wide(path("fresh.txt"));
    for (char16_t& c : back)
        if (c == u'/') c = u'\\';
    SafeSave fresh;
    ASSERT_EQ(safesave_begin(&fresh, back.c_str()), 1);
    std::string freshTemp = WideToUtf8(fresh.temp_path.GetString());
    for (char& c : freshTemp)
        if (c == '\\') c = '/';
    put(freshTemp, "first");
    ASSERT_EQ(safesave_commit(&fresh), 1);
    EXPECT_EQ(get(path("fresh.txt")), "first");
    EXPECT_EQ(Names(dir_), (std::set<std::string>{"fresh.txt", "out.csv"}));

    // A link names the file it points to: that file is replaced, the link stays.
    put(path("real.txt"), "real");
    fs::create_symlink("real.txt", path("link.txt"));
    SafeSave linked;
    ASSERT_EQ(safesave_begin(&linked, wide(path("link.txt")).c_str()), 1);
    put(WideToUtf8(linked.temp_path.GetString()), "through");
    ASSERT_EQ(safesave_commit(&linked), 1);
    EXPECT_TRUE(fs::is_symlink(path("link.txt")));
    EXPECT_EQ(get(path("real.txt")), "through");
}

TEST_F(SafeSaveTest, AbortsAndFailuresLeaveTheTargetAsItWasAndNoTemporaryFile) {
    const fs::path target = path("keep.csv");
    put(target, oldContent());
    const std::set<std::string> before = Names(dir_);
    {
        SafeSave save;
        ASSERT_EQ(safesave_begin(&save, wide(target).c_str()), 1);
        put(WideToUtf8(save.temp_path.GetString()), "half");
        safesave_abort(&save);
        EXPECT_EQ(Names(dir_), before);
        EXPECT_EQ(safesave_commit(&save), 0) << "an aborted save stays aborted";
    }
    {
        SafeSave save; // never committed: dropped with the record
        ASSERT_EQ(safesave_begin(&save, wide(target).c_str()), 1);
        put(WideToUtf8(save.temp_path.GetString()), "half");
    }
    EXPECT_EQ(Names(dir_), before);
    {
        // The temporary file gone before the commit: nothing can replace the target.
        SafeSave save;
        ASSERT_EQ(safesave_begin(&save, wide(target).c_str()), 1);
        fs::remove(WideToUtf8(save.temp_path.GetString()));
        EXPECT_EQ(safesave_commit(&save), 0);
    }
    EXPECT_EQ(get(target), oldContent());
    EXPECT_EQ(Names(dir_), before);

    // Nothing is made for a folder, a missing folder, or (without the
    // administrator's rights, which write anything) a read-only file.
    SafeSave none;
    EXPECT_EQ(safesave_begin(&none, wide(dir_).c_str()), 0);
    EXPECT_EQ(safesave_begin(&none, wide(path("no/such.csv")).c_str()), 0);
    EXPECT_EQ(safesave_begin(&none, u""), 0);
    if (geteuid() != 0) {
        chmod(target.c_str(), 0444);
        EXPECT_EQ(safesave_begin(&none, wide(target).c_str()), 0);
        chmod(target.c_str(), 0644);
    }
    EXPECT_EQ(Names(dir_), before);

    // A device is written where it is, and never removed.
    SafeSave device;
    ASSERT_EQ(safesave_begin(&device, u"/dev/null"), 1);
    EXPECT_EQ(device.direct, 1);
    EXPECT_EQ(device.temp_path, CString(u"/dev/null"));
    safesave_abort(&device);
    EXPECT_TRUE(fs::exists("/dev/null"));
    ASSERT_EQ(safesave_begin(&device, u"/dev/null"), 1);
    EXPECT_EQ(safesave_commit(&device), 1);
}

// The text-file writer: a disk that fills in the middle of the export.
class TextFileSaveTest : public SafeSaveTest {
protected:
    // Writes lines of text to target through textfile_open; the exception of
    // the writes or of the close, if any, is deleted and told.
    bool writeLines(const fs::path& target, int lines, bool close = true) {
        TextFile w;
        EXPECT_EQ(textfile_open(&w, wide(target).c_str(), u"w"), 1);
        textfile_init(&w, w.archive, CHARCODE_UTF8_NOSIG, LINE_END_CRLF);
        try {
            for (int i = 0; i < lines; ++i) {
                // Appended piece by piece: GCC 12 at -O3 warns (-Wrestrict)
                // on a literal put in front of a temporary string.
                std::u16string line = u"行";
                line += Utf8ToWide(std::to_string(i).c_str());
                line += u",データ\r\n";
                textfile_write(&w, line.c_str());
            }
            if (close) textfile_close(&w);
        } catch (CException* e) {
            e->Delete();
            return false;
        }
        return true;
    }
    static std::string expectedLines(int lines) {
        std::string s;
        for (int i = 0; i < lines; ++i)
            s += "\xE8\xA1\x8C" + std::to_string(i) + ",\xE3\x83\x87\xE3\x83\xBC\xE3\x82\xBF\r\n";
        return s;
    }
};

TEST_F(TextFileSaveTest, AFullDiskLeavesTheOldFileWholeAndNoPartOfTheNewOne) {
    const fs::path target = path("export.csv");
    put(target, oldContent());
    chmod(target.c_str(), 0640);
    const std::set<std::string> before = Names(dir_);
    {
        filefault::FileSizeLimit disk(65536);
        ASSERT_TRUE(disk.active());
        // 20,000 lines are some 400 KB: the write fails at 64 KB.
        EXPECT_FALSE(writeLines(target, 20000));
    }
    EXPECT_EQ(get(target), oldContent());
    EXPECT_EQ(Names(dir_), before);

    // A failure that fits in the last buffer shows only when it is flushed.
    {
        filefault::FileSizeLimit disk(100);
        EXPECT_FALSE(writeLines(target, 50));
    }
    EXPECT_EQ(get(target), oldContent());
    EXPECT_EQ(Names(dir_), before);

    // A writer that swallowed the write's exception still cannot close the
    // cut file into place.
    {
        TextFile w;
        ASSERT_EQ(textfile_open(&w, wide(target).c_str(), u"w"), 1);
        textfile_init(&w, w.archive, CHARCODE_UTF8_NOSIG, LINE_END_CRLF);
        filefault::FileSizeLimit disk(65536);
        const std::u16string block(40000, u'x');
        bool failed = false;
        for (int i = 0; i < 4 && !failed; ++i) {
            try {
                textfile_write(&w, block.c_str());
            } catch (CException* e) {
                e->Delete();
                failed = true;
            }
        }
        ASSERT_TRUE(failed);
        bool thrown = false;
        try {
            textfile_close(&w);
        } catch (CException* e) {
            e->Delete();
            thrown = true;
        }
        EXPECT_TRUE(thrown);
    }
    EXPECT_EQ(get(target), oldContent());
    EXPECT_EQ(Names(dir_), before);

    // Never closed, or aborted: the old file stays.
    EXPECT_TRUE(writeLines(target, 10, false));
    EXPECT_EQ(get(target), oldContent());
    {
        TextFile w;
        ASSERT_EQ(textfile_open(&w, wide(target).c_str(), u"w"), 1);
        textfile_write(&w, u"dropped");
        textfile_abort(&w);
        EXPECT_EQ(w.archive, nullptr);
    }
    EXPECT_EQ(get(target), oldContent());
    EXPECT_EQ(Names(dir_), before);

    // Written whole, the new file replaces the old one whole (no tail of the
    // longer old file), with the old one's permissions.
    ASSERT_TRUE(writeLines(target, 3));
    EXPECT_EQ(get(target), expectedLines(3));
    EXPECT_EQ(modeOf(target), 0640u);
    EXPECT_EQ(Names(dir_), before);
}

// The same on a real small disk, when the sandbox lets the test mount one.
TEST_F(TextFileSaveTest, ASmallDiskThatFillsUpKeepsTheOldFile) {
    filefault::SmallDisk disk(path("small"), "64k");
    if (!disk.mounted()) GTEST_SKIP() << "no tmpfs can be mounted here";
    const fs::path target = disk.path() / "export.csv";
    put(target, oldContent());
    EXPECT_FALSE(writeLines(target, 20000));
    EXPECT_EQ(get(target), oldContent());
    EXPECT_EQ(Names(disk.path()), std::set<std::string>{"export.csv"});
    // The space the failed file took is free again: a file that fits is written.
    ASSERT_TRUE(writeLines(target, 100));
    EXPECT_EQ(get(target), expectedLines(100));
    EXPECT_EQ(Names(disk.path()), std::set<std::string>{"export.csv"});
}

} // namespace
