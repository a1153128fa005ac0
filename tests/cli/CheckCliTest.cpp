// The checks' pass from the console: lines in walk order, the consistency
// groups across an XLIFF and a TMX file, JSON read back, the summary and
// the exit status.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/TableReaders.h"
#include "tests/TestFiles.h"
#include "tests/cli/CliRun.h"

namespace {

std::string Utf8Of(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text)
        out += static_cast<char>(c);  // the tests' paths are ASCII
    return out;
}

class CheckCli : public testing::Test {
protected:
    void SetUp() override {
        dir.WriteFile(L"a.xlf",
                      "<xliff version=\"1.2\"><file source-language=\"en-US\" target-language=\"de-DE\"><body>"
                      "<trans-unit id=\"1\"><source>Open the file</source><target>Datei \xC3\xB6" "ffnen</target></trans-unit>"
                      "<trans-unit id=\"2\"><source>Use 3.5 or 4</source><target>Verwenden Sie 4 oder 5</target></trans-unit>"
                      "<trans-unit id=\"3\"><source>Cancel</source><target></target></trans-unit>"
                      "<trans-unit id=\"4\"><source>Save</source><target>Speichern</target></trans-unit>"
                      "</body></file></xliff>");
        dir.WriteFile(L"b.tmx",
                      "<tmx version=\"1.4\"><header srclang=\"en-US\"/><body>"
                      "<tu tuid=\"7\"><tuv xml:lang=\"en-US\"><seg>Open  the file</seg></tuv>"
                      "<tuv xml:lang=\"de-DE\"><seg>Die Datei \xC3\xB6" "ffnen</seg></tuv></tu>"
                      "</body></tmx>");
        dir.WriteFile(L"plain.txt", "Open the file");
    }
    TempDir dir;
};

}  // namespace

TEST_F(CheckCli, LinesGroupsJsonSummaryAndStatus) {
    const std::string folder = Utf8Of(dir.Path());
    for (const wchar_t* threads : {L"1", L"4"}) {
        const RunResult r = RunCli({L"-j", threads, L"--check", L"untranslated,numbers,inconsistent-target", L"",
                                    dir.Path()});
        EXPECT_EQ(r.exitCode, 1u) << r.err;
        EXPECT_EQ(Lines(r.out),
                  (std::vector<std::string>{
                      folder + "a.xlf\t2\tnumbers\t3.5 missing in the target\tUse 3.5 or 4\tVerwenden Sie 4 oder 5",
                      folder + "a.xlf\t2\tnumbers\t5 not in the source\tUse 3.5 or 4\tVerwenden Sie 4 oder 5",
                      folder + "a.xlf\t3\tuntranslated\tno translation\tCancel\t",
                      folder + "a.xlf\t1\tinconsistent-target\t2 translations\tOpen the file\tDatei \xC3\xB6" "ffnen",
                      folder + "b.tmx\t7\tinconsistent-target\t2 translations\tOpen  the file\tDie Datei \xC3\xB6" "ffnen",
                  }))
            << threads;
        EXPECT_NE(r.err.find("Checked 5 segments in 2 files: 5 issues (untranslated 1, inconsistent-target 2, numbers 2)."),
                  std::string::npos)
            << r.err;
    }
    // A search text narrows the pass to the segments holding its hits.
    RunResult r = RunCli({L"--check", L"all", L"Cancel", dir.Path()});
    EXPECT_EQ(Lines(r.out), (std::vector<std::string>{folder + "a.xlf\t3\tuntranslated\tno translation\tCancel\t"}));
    // Nothing flagged: status 0; a name that is no check: status 2.
    r = RunCli({L"--check", L"brackets", L"", dir.Path()});
    EXPECT_EQ(r.exitCode, 0u) << r.err;
    EXPECT_TRUE(r.out.empty()) << r.out;
    r = RunCli({L"--check", L"numbers,typos", L"", dir.Path()});
    EXPECT_EQ(r.exitCode, 2u);
    EXPECT_NE(r.err.find("unknown check: typos"), std::string::npos) << r.err;
    r = RunCli({L"--check", L"terms", L"--glossary", dir.Path() + L"missing.csv", L"", dir.Path()});
    EXPECT_EQ(r.exitCode, 2u);

    // Numbers are read by the language the file names: "1,500" is one and a
    // half in a German catalogue.
    TempDir po;
    po.WriteFile(L"de.po", "msgid \"\"\nmsgstr \"Language: de\\n\"\n\nmsgid \"Weight 1.5 kg\"\nmsgstr \"Gewicht 1,500 kg\"\n");
    r = RunCli({L"--check", L"numbers", L"", po.Path()});
    EXPECT_EQ(r.exitCode, 0u) << r.out;
    po.WriteFile(L"de.po", "msgid \"Weight 1.5 kg\"\nmsgstr \"Gewicht 1,500 kg\"\n");
    r = RunCli({L"--check", L"numbers", L"", po.Path()});
    EXPECT_EQ(r.exitCode, 1u) << "without a language \"1,500\" is read as fifteen hundred";

    // Locked segments are passed over unless asked for; states filter.
    TempDir states;
    states.WriteFile(L"s.xlf", "<xliff version=\"1.2\"><file><body>"
                               "<trans-unit id=\"1\" translate=\"no\"><source>Mirlock 2</source><target>Mirlock 3</target></trans-unit>"
                               "<trans-unit id=\"2\"><source>Page 4</source><target state=\"translated\">Seite 5</target></trans-unit>"
                               "<trans-unit id=\"3\"><source>Page 6</source><target state=\"needs-review-translation\">Seite 7</target>"
                               "</trans-unit></body></file></xliff>");
    const auto ids = [](const RunResult& run) {
        std::vector<std::string> found;
        for (const std::string& line : Lines(run.out))
            found.push_back(line.substr(line.find('\t') + 1, line.find('\t', line.find('\t') + 1) - line.find('\t') - 1));
        return found;
    };
    r = RunCli({L"--check", L"numbers", L"", states.Path()});
    EXPECT_EQ(ids(r), (std::vector<std::string>{"2", "2", "3", "3"})) << r.out;
    EXPECT_NE(r.err.find("Checked 2 segments in 1 file"), std::string::npos) << r.err;
    r = RunCli({L"--check", L"numbers", L"--check-locked", L"", states.Path()});
    EXPECT_EQ(ids(r), (std::vector<std::string>{"1", "1", "2", "2", "3", "3"})) << r.out;
    r = RunCli({L"--check", L"numbers", L"--status", L"draft,new", L"", states.Path()});
    EXPECT_EQ(ids(r), (std::vector<std::string>{"3", "3"})) << r.out;
    r = RunCli({L"--check", L"numbers", L"--status", L"done", L"", states.Path()});
    EXPECT_EQ(r.exitCode, 2u);

    // JSON: one object per note, then the summary.
    r = RunCli({L"--json", L"--check", L"numbers", L"", dir.Path()});
    const std::vector<std::string> lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 3u) << r.out;
    const JsonValue first = ReadJson(lines[0]);
    EXPECT_EQ(first["path"].Utf8(), folder + "a.xlf");
    EXPECT_EQ(first["id"].Utf8(), "2");
    EXPECT_EQ(first["check"].Utf8(), "numbers");
    EXPECT_EQ(first["message"].Utf8(), "3.5 missing in the target");
    ASSERT_EQ(first["spans"]["source"].items.size(), 1u);
    EXPECT_EQ(first["spans"]["source"].items[0].items[0].number, 4);
    EXPECT_EQ(first["spans"]["source"].items[0].items[1].number, 7);
    EXPECT_TRUE(first["spans"]["target"].items.empty());
    const JsonValue summary = ReadJson(lines[2]);
    EXPECT_EQ(summary["issues"].number, 2);
    EXPECT_EQ(summary["segments"].number, 5);
}

TEST_F(CheckCli, TagsCompareTheInlineCodesOfBothSides) {
    dir.WriteFile(L"c.xlf",
                  "<xliff version=\"1.2\"><file source-language=\"en-US\" target-language=\"de-DE\"><body>"
                  "<trans-unit id=\"t1\"><source>Press <g id=\"1\">Save</g><x id=\"2\"/></source>"
                  "<target><g id=\"1\">Sichern</g> dr\xC3\xBC" "cken</target></trans-unit>"
                  "<trans-unit id=\"t2\"><source><x id=\"2\"/>Press <g id=\"1\">Save</g></source>"
                  "<target><g id=\"1\">Sichern</g> dr\xC3\xBC" "cken<x id=\"2\"/></target></trans-unit>"
                  "</body></file></xliff>");
    const RunResult r = RunCli({L"--check", L"tags", L"", dir.Path()});
    EXPECT_EQ(r.exitCode, 1u) << r.err;
    EXPECT_EQ(Lines(r.out), (std::vector<std::string>{Utf8Of(dir.Path()) + "c.xlf\tt1\ttags\ttag 2 missing in the target\t"
                                                                            "Press Save\tSichern dr\xC3\xBC" "cken"}))
        << "a moved code is no issue while order does not matter";
}

TEST_F(CheckCli, LengthByTheUnitsOwnLimitInCharacters) {
    dir.WriteFile(L"d.xlf",
                  "<xliff version=\"1.2\"><file source-language=\"en-US\" target-language=\"de-DE\"><body>"
                  "<trans-unit id=\"w1\" maxwidth=\"5\" size-unit=\"char\"><source>Save</source><target>Sichern</target></trans-unit>"
                  "<trans-unit id=\"w2\" maxwidth=\"5\"><source>Save</source><target>Sichern</target></trans-unit>"
                  "<trans-unit id=\"w3\" maxwidth=\"3\" size-unit=\"char\"><source>Yes</source>"
                  "<target>J\xF0\x9F\x98\x80\xF0\x9F\x98\x80</target></trans-unit>"
                  "</body></file></xliff>");
    const RunResult r = RunCli({L"--check", L"length", L"", dir.Path()});
    EXPECT_EQ(r.exitCode, 1u) << r.err;
    EXPECT_EQ(Lines(r.out), (std::vector<std::string>{Utf8Of(dir.Path()) + "d.xlf\tw1\tlength\tthe target has 7 "
                                                                            "characters, the limit is 5\tSave\tSichern"}))
        << "a width in pixels is no limit in characters; a character beyond the first plane counts once";
}
