#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

#include "TestFiles.h"
#include "shell/PrivateProfile.h"
#include "shell/Settings.h"
#include "shell/SettingsFile.h"

using namespace quillon::shell;
using namespace std::string_literals;

namespace {

const std::string kTrue = "\xD5\xE6";  // 真
const std::string kFalse = "\xBC\xD9"; // 假
const std::string kZhong = "\xD6\xD0"; // 中
const std::string kWen = "\xCE\xC4";   // 文

// A fresh folder under the system's temporary folder, removed afterwards.
using quillon::support::TempFolder;
const auto& readAll = quillon::support::readFile;
const auto& writeAll = quillon::support::writeFile;

// ---------------------------------------------------------------------------
// The profile layer

TEST(PrivateProfile, ReadsValuesAsTheProfileFunctionsDo) {
    TempFolder folder;
    const std::string path = folder.file("p.ini");
    writeAll(path, "; a comment line\r\n"
                   "[DL_PIC]\r\n"
                   "download=" +
                       kTrue +
                       "\r\n"
                       "  Fall = 2  \r\n"
                       "[pr_info]\r\n"
                       "price=\"85\"\r\n"
                       "empty=\r\n"
                       "bare\r\n"
                       "[\x81\x5D]\r\n" // 乚: its trail byte is "]"
                       "k=gbk section\r\n"
                       "[DL_PIC]\r\n"
                       "later=second section of the name\r\n"
                       "[Other]\n"
                       "key=lf only\n"
                       "last=no line break");
    struct Case {
        const char* section;
        const char* key;
        std::string expected;
    };
    const Case cases[] = {
        {"dl_pic", "DOWNLOAD", kTrue}, // sections and keys ignore case
        {"DL_PIC", "fall", "2"},       // blanks around key and value go
        {"PR_INFO", "price", "85"},    // enclosing quotes go
        {"PR_INFO", "empty", ""},
        {"PR_INFO", "bare", ""},
        {"PR_INFO", "missing", ""},
        {"NOSUCH", "download", ""},
        {"PR_INFO", "download", ""}, // a key of another section
        {"\x81\x5D", "k", "gbk section"},
        {"DL_PIC", "later", ""}, // only the first section of a name counts
        {"other", "key", "lf only"},
        {"other", "last", "no line break"},
    };
    const PrivateProfile profile(path);
    for (const Case& c : cases) {
        EXPECT_EQ(profile.read(c.section, c.key), c.expected) << c.section << "/" << c.key;
    }
    EXPECT_EQ(PrivateProfile(folder.file("missing.ini")).read("DL_PIC", "download"), "");
}

TEST(PrivateProfile, WritesOneValueAndLeavesTheRestAsItWas) {
    TempFolder folder;
    const std::string path = folder.file("p.ini");
    writeAll(path, "; keep me\n"
                   "[First]\n"
                   "Alpha = 1\n"
                   "beta=2\n"
                   "\n"
                   "[Second]\r\n"
                   "gamma=3\r\n");
    const PrivateProfile profile(path);
    ASSERT_TRUE(profile.write("FIRST", "alpha", "one")); // replaced in place
    ASSERT_TRUE(profile.write("first", "delta", "4"));   // after the section's last line
    ASSERT_TRUE(profile.write("Third", "epsilon", "5")); // a new section at the end
    EXPECT_EQ(readAll(path), "; keep me\n"
                             "[First]\n"
                             "alpha=one\n"
                             "beta=2\n"
                             "delta=4\r\n"
                             "\n"
                             "[Second]\r\n"
                             "gamma=3\r\n"
                             "[Third]\r\n"
                             "epsilon=5\r\n");
}

TEST(PrivateProfile, CreatesTheFileButNeverTheFolder) {
    TempFolder folder;
    const std::string fresh = folder.file("fresh.ini");
    ASSERT_TRUE(PrivateProfile(fresh).write("SAVE", "type", "4"));
    EXPECT_EQ(readAll(fresh), "[SAVE]\r\ntype=4\r\n");

    const std::string noBreak = folder.file("nobreak.ini");
    writeAll(noBreak, "[A]\r\nx=1");
    ASSERT_TRUE(PrivateProfile(noBreak).write("A", "y", "2"));
    ASSERT_TRUE(PrivateProfile(noBreak).write("B", "z", "3"));
    EXPECT_EQ(readAll(noBreak), "[A]\r\nx=1\r\ny=2\r\n[B]\r\nz=3\r\n");

    const std::string inMissingFolder = folder.file("options/options.ini");
    EXPECT_FALSE(PrivateProfile(inMissingFolder).write("SAVE", "type", "4"));
    EXPECT_FALSE(std::filesystem::exists(folder.file("options")));
    // No temporary file is left behind by the writes.
    int entries = 0;
    for ([[maybe_unused]] const auto& entry :
         std::filesystem::directory_iterator(std::filesystem::path(fresh).parent_path()))
        ++entries;
    EXPECT_EQ(entries, 2);
}

TEST(PrivateProfile, CutsLongValuesToTheBuffer) {
    struct Case {
        const char* name;
        std::string value;
        std::string expected;
    };
    std::string zhongs;
    for (int i = 0; i < 6000; ++i)
        zhongs += kZhong;
    const Case cases[] = {
        {"single bytes", std::string(20000, 'a'), std::string(10239, 'a')},
        {"exactly the room", std::string(10239, 'b'), std::string(10239, 'b')},
        {"double bytes ending on the limit", "a" + zhongs, "a" + zhongs.substr(0, 10238)},
        {"a double byte would cross the limit", zhongs, zhongs.substr(0, 10238)},
    };
    TempFolder folder;
    const PrivateProfile profile(folder.file("p.ini"));
    for (const Case& c : cases) {
        ASSERT_TRUE(profile.write("S", "k", c.value)) << c.name;
        EXPECT_EQ(profile.read("S", "k"), c.expected) << c.name;
    }
}

TEST(PrivateProfile, AValueWithALineBreakCannotInjectLines) {
    TempFolder folder;
    const PrivateProfile profile(folder.file("p.ini"));
    ASSERT_TRUE(profile.write("S", "k", "first\r\n[S]\r\nother=injected"));
    ASSERT_TRUE(profile.write("S", "after", "x"));
    EXPECT_EQ(profile.read("S", "k"), "first");
    EXPECT_EQ(profile.read("S", "other"), "");
    EXPECT_EQ(profile.read("S", "after"), "x");
}

TEST(PrivateProfile, SurvivesGarbageAndHugeLines) {
    TempFolder folder;
    const std::string path = folder.file("garbage.ini");
    std::string garbage;
    unsigned state = 12345;
    for (int i = 0; i < 200000; ++i) {
        state = state * 1103515245u + 12345u;
        garbage += static_cast<char>(state >> 16);
    }
    garbage += "\r\n[DL_PIC]\r\nhuge=" + std::string(1 << 20, 'v') + "\r\n";
    garbage += "[" + std::string(1 << 20, '[') + "\n" + std::string(1 << 20, '=') + "\n";
    garbage += "\0\x1A[\xFF]\n=\n[\n\x81"s;
    writeAll(path, garbage);

    const PrivateProfile profile(path);
    EXPECT_EQ(profile.read("DL_PIC", "huge"), std::string(10239, 'v'));
    EXPECT_EQ(profile.read("DL_PIC", "missing"), "");
    ASSERT_TRUE(profile.write("DL_PIC", "download", kTrue));
    ASSERT_TRUE(profile.write("SAVE", "type", "4"));
    EXPECT_EQ(profile.read("DL_PIC", "download"), kTrue);
    EXPECT_EQ(profile.read("SAVE", "type"), "4");
    EXPECT_EQ(profile.read("DL_PIC", "huge"), std::string(10239, 'v'));
}

TEST(PrivateProfile, AFolderIsNoProfile) {
    TempFolder folder;
    std::filesystem::create_directory(folder.file("dir.ini"));
    const PrivateProfile profile(folder.file("dir.ini"));
    EXPECT_EQ(profile.read("S", "k"), "");
    EXPECT_FALSE(profile.write("S", "k", "v"));
}

// ---------------------------------------------------------------------------
// Loading and saving the options

TEST(SettingsFile, AFreshInstallationShowsEmptyBoxes) {
    TempFolder folder;
    Settings settings;
    loadSettings(settings, folder.file("options/options.ini"));
    const SettingsValues v = settings.values();
    EXPECT_FALSE(v.downloadDescPictures);
    EXPECT_FALSE(v.descTaobaoOnly);
    EXPECT_FALSE(v.descTaobaoOnlyEnabled);
    EXPECT_FALSE(v.priceAdjust);
    EXPECT_FALSE(v.stockUniform);
    EXPECT_EQ(v.descFailMode, 3);
    EXPECT_EQ(v.pricePercent, ""); // the form's "100" does not survive loading
    EXPECT_EQ(v.priceDecimals, "");
    EXPECT_EQ(v.stockValue, "");
    EXPECT_EQ(v.assistantVersion, 5);
    EXPECT_EQ(v.versionChoice, 5);
}

TEST(SettingsFile, SavedOptionsLoadAgain) {
    TempFolder folder;
    const std::string path = folder.file("options.ini");
    Settings saved;
    SettingsValues v;
    v.downloadDescPictures = true;
    v.descTaobaoOnly = true;
    v.priceAdjust = true;
    v.stockUniform = false;
    v.pricePercent = "85";
    v.priceDecimals = "2";
    v.stockValue = kZhong + "9"; // not validated
    v.replaceFrom = {"QQ", kZhong, "13800000000"};
    v.replaceTo = {"", kWen, "x"};
    v.versionChoice = 4;
    saved.setValues(v);

    const SaveSettingsResult result = saveSettings(saved, path, 1); // "删除图片"
    EXPECT_TRUE(result.saved);
    EXPECT_TRUE(result.allWritten);
    EXPECT_EQ(result.message, kSavedMessage);
    EXPECT_EQ(result.title, kHintTitle);
    EXPECT_EQ(saved.values().descFailMode, 2);
    EXPECT_EQ(saved.values().assistantVersion, 4);

    const PrivateProfile profile(path);
    EXPECT_EQ(profile.read("DL_PIC", "fall"), "2");
    EXPECT_EQ(profile.read("DL_PIC", "download"), kTrue);
    EXPECT_EQ(profile.read("PR_INFO", "n_type"), kFalse);
    EXPECT_EQ(profile.read("SAVE", "type"), "4");
    // The target of replacement two sits under "to3", that of three under "to2".
    EXPECT_EQ(profile.read("REPLACE", "to3"), kWen);
    EXPECT_EQ(profile.read("REPLACE", "to2"), "x");

    Settings loaded;
    loadSettings(loaded, path);
    const SettingsValues l = loaded.values();
    EXPECT_TRUE(l.downloadDescPictures);
    EXPECT_TRUE(l.descTaobaoOnly);
    EXPECT_TRUE(l.descTaobaoOnlyEnabled);
    EXPECT_TRUE(l.priceAdjust);
    EXPECT_FALSE(l.stockUniform);
    EXPECT_EQ(l.descFailMode, 2);
    EXPECT_EQ(l.pricePercent, "85");
    EXPECT_EQ(l.priceDecimals, "2");
    EXPECT_EQ(l.stockValue, v.stockValue);
    EXPECT_EQ(l.replaceFrom, v.replaceFrom);
    EXPECT_EQ(l.replaceTo, v.replaceTo);
    EXPECT_EQ(l.assistantVersion, 4);
    EXPECT_EQ(l.versionChoice, 4);
}

TEST(SettingsFile, ReadsTheReplacementTargetsCrossed) {
    TempFolder folder;
    const std::string path = folder.file("options.ini");
    writeAll(path, "[REPLACE]\r\n1=a\r\n2=b\r\n3=c\r\nto1=A\r\nto2=C\r\nto3=B\r\n");
    Settings settings;
    loadSettings(settings, path);
    const SettingsValues v = settings.values();
    EXPECT_EQ(v.replaceFrom, (std::array<std::string, 3>{"a", "b", "c"}));
    EXPECT_EQ(v.replaceTo, (std::array<std::string, 3>{"A", "B", "C"}));
}

TEST(SettingsFile, StoredTextsMapToOptions) {
    struct Case {
        const char* name;
        std::string ini;
        int modeBefore;
        int mode;
        int version;
        bool download;
    };
    const Case cases[] = {
        {"nothing stored", "", 0, 3, 5, false},
        {"empty fall", "[DL_PIC]\r\nfall=\r\n", 1, 3, 5, false},
        {"fall 1", "[DL_PIC]\r\nfall=1\r\n", 0, 1, 5, false},
        {"fall 2", "[DL_PIC]\r\nfall=2\r\n", 0, 2, 5, false},
        {"fall 3", "[DL_PIC]\r\nfall=3\r\n", 0, 3, 5, false},
        {"fall 4 leaves the mode", "[DL_PIC]\r\nfall=4\r\n", 1, 1, 5, false},
        {"fall text leaves the mode", "[DL_PIC]\r\nfall=abc\r\n", 0, 0, 5, false},
        {"type 4", "[SAVE]\r\ntype=4\r\n", 0, 3, 4, false},
        {"type 5", "[SAVE]\r\ntype=5\r\n", 0, 3, 5, false},
        {"type 4.0", "[SAVE]\r\ntype=4.0\r\n", 0, 3, 5, false},
        {"type 04", "[SAVE]\r\ntype=04\r\n", 0, 3, 5, false},
        {"type empty", "[SAVE]\r\ntype=\r\n", 0, 3, 5, false},
        {"true", "[DL_PIC]\r\ndownload=" + kTrue + "\r\n", 0, 3, 5, true},
        {"false", "[DL_PIC]\r\ndownload=" + kFalse + "\r\n", 0, 3, 5, false},
        {"true in English", "[DL_PIC]\r\ndownload=true\r\n", 0, 3, 5, false},
        {"one", "[DL_PIC]\r\ndownload=1\r\n", 0, 3, 5, false},
    };
    TempFolder folder;
    const std::string path = folder.file("options.ini");
    for (const Case& c : cases) {
        writeAll(path, c.ini);
        Settings settings;
        SettingsValues before;
        before.descFailMode = c.modeBefore;
        settings.setValues(before);
        loadSettings(settings, path);
        const SettingsValues v = settings.values();
        EXPECT_EQ(v.descFailMode, c.mode) << c.name;
        EXPECT_EQ(v.assistantVersion, c.version) << c.name;
        EXPECT_EQ(v.versionChoice, c.version) << c.name;
        EXPECT_EQ(v.downloadDescPictures, c.download) << c.name;
        EXPECT_EQ(v.descTaobaoOnlyEnabled, c.download) << c.name;
    }
}

TEST(SettingsFile, SavingWithoutAFailModeWritesOnlyTheCheckBoxes) {
    TempFolder folder;
    const std::string path = folder.file("options.ini");
    Settings settings;
    SettingsValues v;
    v.stockUniform = true;
    v.versionChoice = 4;
    settings.setValues(v);

    for (const std::optional<int> item : {std::optional<int>(), std::optional<int>(3)}) {
        const SaveSettingsResult result = saveSettings(settings, path, item);
        EXPECT_FALSE(result.saved);
        EXPECT_EQ(result.message, kNoFailModeMessage);
        EXPECT_EQ(result.title, kInfoTitle);
    }
    const PrivateProfile profile(path);
    EXPECT_EQ(profile.read("PR_INFO", "n_type"), kTrue);
    EXPECT_EQ(profile.read("DL_PIC", "download"), kFalse);
    EXPECT_EQ(profile.read("PR_INFO", "price"), "");
    EXPECT_EQ(profile.read("SAVE", "type"), "");
    EXPECT_EQ(settings.values().descFailMode, 0);
    EXPECT_EQ(settings.values().assistantVersion, 5);
}

TEST(SettingsFile, AMissingOptionsFolderStillReportsSaved) {
    TempFolder folder;
    Settings settings;
    const SaveSettingsResult result = saveSettings(settings, folder.file("options/options.ini"), 2);
    EXPECT_TRUE(result.saved);
    EXPECT_FALSE(result.allWritten);
    EXPECT_EQ(result.message, kSavedMessage);
    EXPECT_EQ(settings.values().descFailMode, 3);
    EXPECT_FALSE(std::filesystem::exists(folder.file("options")));
}

TEST(SettingsFile, OptionsLiveBesideTheProgram) {
    const std::string directory = programDirectory();
    ASSERT_FALSE(directory.empty());
    EXPECT_TRUE(std::filesystem::exists(directory));
    EXPECT_EQ(optionsFilePath(), directory + "/options/options.ini");
}

// ---------------------------------------------------------------------------
// The data file path

TEST(SavePath, DerivesFolderAndName) {
    struct Case {
        std::string path, dir, name;
    };
    const Case cases[] = {
        {"/out/items.csv", "/out/", "items"},
        {"/out/a.b.csv", "/out/", "a"},
        {"/out.d/items", "/out.d/", ""}, // a "." in a folder name does not count
        {"/out/items", "/out/", ""},
        {"items.csv", "", "items"},
        {"/out/", "/out/", ""},
        {"/out/.csv", "/out/", ""},
        {"", "", ""},
        // 乗 and 乚 end in "\" and "]"; 眧 ends in "|".
        {"/\x81\x5C\x81\x5D/" + kZhong + kWen + ".csv", "/\x81\x5C\x81\x5D/", kZhong + kWen},
        {"/o/\xB1\x7C.\xB1\x7C.csv", "/o/", "\xB1\x7C"},
    };
    for (const Case& c : cases) {
        Settings settings;
        settings.setSavePath(c.path);
        const SettingsValues v = settings.values();
        EXPECT_EQ(v.savePath, c.path);
        EXPECT_EQ(v.outputDir, c.dir) << c.path;
        EXPECT_EQ(v.outputName, c.name) << c.path;
        EXPECT_EQ(settings.pictureFolder(), c.dir + c.name) << c.path;
    }
}

TEST(SavePath, TheBrowseRuleAddsTheSuffixOrRefusesTheName) {
    struct Case {
        std::string chosen;
        bool accepted;
        std::string savePath, dir, name;
    };
    const Case cases[] = {
        {"/out/items", true, "/out/items.csv", "/out/", "items"},
        {"/out/a.b.csv", true, "/out/a.b.csv", "/out/", "a"},
        {"/out/" + kZhong, true, "/out/" + kZhong + ".csv", "/out/", kZhong},
        {"/out.d/items", false, "", "/out.d/", ""},
        {"/out/.csv", false, "", "/out/", ""},
    };
    for (const Case& c : cases) {
        Settings settings;
        settings.setSavePath("/old/old.csv");
        EXPECT_EQ(settings.applyChosenSavePath(c.chosen), c.accepted) << c.chosen;
        const SettingsValues v = settings.values();
        EXPECT_EQ(v.savePath, c.savePath) << c.chosen;
        EXPECT_EQ(v.outputDir, c.dir) << c.chosen;
        EXPECT_EQ(v.outputName, c.name) << c.chosen;
    }
}

} // namespace
