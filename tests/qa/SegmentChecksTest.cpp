// Each check on one segment: what it must flag, and the look-alikes it must
// leave alone.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "qa/CheckPass.h"
#include "qa/Checklist.h"
#include "qa/Consistency.h"
#include "qa/Glossary.h"
#include "qa/SegmentChecks.h"

namespace {

struct Checked {
    std::vector<std::wstring> messages;
    std::vector<SegmentNote> notes;
};

Checked Check(const std::wstring& check, const std::wstring& source, const std::wstring& target,
              const wchar_t* sourceLanguage = L"en-US", const wchar_t* targetLanguage = L"de-DE",
              const Glossary* glossary = nullptr, const Checklist* checklist = nullptr,
              void (*tweak)(CheckSettings&) = nullptr) {
    CheckSettings settings;
    std::wstring bad;
    EXPECT_TRUE(ParseCheckList(check, &settings, &bad)) << bad;
    if (tweak)
        tweak(settings);
    SegmentCheckContext context;
    context.settings = &settings;
    context.glossary = glossary;
    context.checklist = checklist;
    context.sourceLanguage = sourceLanguage;
    context.targetLanguage = targetLanguage;
    ShownSegment segment{L"1", source, target, {}, {}, {}};
    Checked checked;
    CheckSegment(segment, 0, context, &checked.notes);
    for (const SegmentNote& n : checked.notes)
        checked.messages.push_back(n.message);
    return checked;
}

std::vector<std::wstring> Messages(const std::wstring& check, const std::wstring& source, const std::wstring& target,
                                   const wchar_t* sourceLanguage = L"en-US", const wchar_t* targetLanguage = L"de-DE") {
    return Check(check, source, target, sourceLanguage, targetLanguage).messages;
}

using Texts = std::vector<std::wstring>;

}  // namespace

TEST(SegmentChecks, UntranslatedAndSameAsSource) {
    EXPECT_EQ(Messages(L"untranslated", L"Open the file", L""), Texts{L"no translation"});
    EXPECT_EQ(Messages(L"untranslated", L"Open the file", L" \t "), Texts{L"no translation"});
    EXPECT_EQ(Messages(L"all", L"Open the file", L""), Texts{L"no translation"}) << "nothing else on a missing target";
    EXPECT_EQ(Messages(L"all", L"  ", L""), Texts{}) << "nothing to translate";

    EXPECT_EQ(Messages(L"same-as-source", L"Open the file", L" Open the file "), Texts{L"the target is the source"});
    EXPECT_EQ(Messages(L"same-as-source", L"Open the file", L"open the file"), Texts{}) << "case counts by default";
    EXPECT_EQ(Check(L"same-as-source", L"Open the file", L"open the file", L"en", L"de", nullptr, nullptr,
                    [](CheckSettings& s) { s.sameAsSourceCase = false; })
                  .messages,
              Texts{L"the target is the source"});
    EXPECT_EQ(Messages(L"same-as-source", L"12.5 %", L"12.5 %"), Texts{}) << "no letter";
    EXPECT_EQ(Messages(L"same-as-source", L"https://example.com", L"https://example.com"), Texts{});
    // A product name that stays as it is, with a number.
    Glossary glossary;
    glossary.Add(L"Mirlock", L"Mirlock");
    EXPECT_EQ(Check(L"same-as-source", L"Mirlock 2.0", L"Mirlock 2.0", L"en", L"de", &glossary).messages, Texts{});
    EXPECT_EQ(Check(L"same-as-source", L"Mirlock Pro", L"Mirlock Pro", L"en", L"de", &glossary).messages,
              Texts{L"the target is the source"});
}

TEST(SegmentChecks, InlineCodesByKindAndId) {
    CheckSettings settings;
    std::wstring bad;
    ASSERT_TRUE(ParseCheckList(L"tags", &settings, &bad));
    SegmentCheckContext context;
    context.settings = &settings;
    auto check = [&](const std::wstring& sourceCodes, const std::wstring& targetCodes) {
        ShownSegment segment{L"1", L"Click Save now", L"Jetzt Sichern klicken", {}, {}, {}};
        segment.sourceCodes = sourceCodes;
        segment.targetCodes = targetCodes;
        std::vector<SegmentNote> notes;
        CheckSegment(segment, 0, context, &notes);
        Texts messages;
        for (const SegmentNote& n : notes)
            messages.push_back(n.message);
        return messages;
    };
    const std::wstring source = L"g 1\x1Fx 2\x1Fph {0}\x1F";
    EXPECT_EQ(check(source, L"g 1\x1Fph {0}\x1F"), Texts{L"tag 2 missing in the target"});
    EXPECT_EQ(check(source, L"x 2\x1Fg 1\x1Fph {0}\x1Fx 5\x1F"), Texts{L"tag 5 not in the source"});
    EXPECT_EQ(check(source, L"g 2\x1Fx 1\x1Fph {0}\x1F"),
              (Texts{L"tag 1 missing in the target", L"tag 2 missing in the target", L"tag 2 not in the source",
                     L"tag 1 not in the source"}))
        << "an id of another kind is another code";
    EXPECT_EQ(check(source, L"ph {0}\x1Fx 2\x1Fg 1\x1F"), Texts{}) << "moved codes, order off";
    settings.tagOrderMatters = true;
    EXPECT_EQ(check(source, L"ph {0}\x1Fx 2\x1Fg 1\x1F"), Texts{L"tags in another order"});
    EXPECT_EQ(check(L"", L""), Texts{});
}

TEST(SegmentChecks, WhatOnlyOneSideHoldsIsStillSeen) {
    // Each check is passed over when neither side holds what it looks at;
    // these hold it on one side only, and in forms that are easy to miss.
    EXPECT_EQ(Messages(L"numbers", L"Page", L"Seite \x0967\x0968"), Texts{L"\x0967\x0968 not in the source"});
    EXPECT_EQ(Messages(L"tags", L"Hello", L"Hallo {0}"), Texts{L"placeholder {0} not in the source"});
    EXPECT_EQ(Messages(L"urls", L"See www.example.org now", L"Siehe jetzt"),
              Texts{L"www.example.org missing in the target"});
    EXPECT_EQ(Messages(L"brackets", L"Say hi", L"Sag \x00BBhallo"), Texts{L"unpaired \"\x00BB\" in the target"});
    EXPECT_EQ(Messages(L"brackets", L"Say hi", L"Sag \xFF08hallo"), Texts{L"unpaired \"\xFF08\" in the target"});
}

TEST(SegmentChecks, NumbersByEachSidesLanguage) {
    EXPECT_EQ(Messages(L"numbers", L"Version 3.5 costs 1,000.50 euros.", L"Version 3,5 kostet 1.000,50 Euro."),
              Texts{});
    EXPECT_EQ(Messages(L"numbers", L"\u0661\u0662 files", L"12 Dateien", L"ar", L"de"), Texts{}) << "native digits";
    EXPECT_EQ(Messages(L"numbers", L"Page 2 of 10", L"Seite 10 von 2"), Texts{}) << "compared as multisets";
    const Checked checked = Check(L"numbers", L"Use 3.5 or 4", L"Verwenden Sie 4 oder 5");
    EXPECT_EQ(checked.messages, (Texts{L"3.5 missing in the target", L"5 not in the source"}));
    ASSERT_EQ(checked.notes.size(), 2u);
    EXPECT_EQ(checked.notes[0].sourceSpans[0].begin, 4);
    EXPECT_EQ(checked.notes[0].sourceSpans[0].end, 7);
    EXPECT_EQ(checked.notes[1].targetSpans[0].begin, 21);
    EXPECT_EQ(Messages(L"numbers", L"Page 2, page 2", L"Seite 2, Seite 2 und 2"), Texts{L"2 not in the source"})
        << "counted";
    EXPECT_EQ(Messages(L"numbers", L"MP3 in 4K", L"MP3 in 4K"), Texts{}) << "names with digits";
}

TEST(SegmentChecks, PlaceholdersSpacesPunctuationLinksWordsBrackets) {
    EXPECT_EQ(Messages(L"tags", L"%1$s of %2$s", L"%2$s von %1$s"), Texts{}) << "order does not matter by default";
    EXPECT_EQ(Check(L"tags", L"%1$s of %2$s", L"%2$s von %1$s", L"en", L"de", nullptr, nullptr,
                    [](CheckSettings& s) { s.tagOrderMatters = true; })
                  .messages,
              Texts{L"placeholders in another order"});
    EXPECT_EQ(Messages(L"tags", L"Hello {name}, %d new", L"Hallo {Name}, %s neu"),
              (Texts{L"placeholder {name} missing in the target", L"placeholder %d missing in the target",
                     L"placeholder {Name} not in the source", L"placeholder %s not in the source"}));
    EXPECT_EQ(Messages(L"tags", L"100%% done", L"100 %% fertig"), Texts{});

    EXPECT_EQ(Messages(L"spaces", L"One two", L"Eins  zwei"), Texts{L"double space in the target"});
    EXPECT_EQ(Messages(L"spaces", L"One  two", L"Eins  zwei"), Texts{});
    EXPECT_EQ(Messages(L"spaces", L"One two ", L"Eins zwei"), Texts{L"trailing space differs"});
    EXPECT_EQ(Messages(L"spaces", L" One", L"Eins"), Texts{L"leading space differs"});

    EXPECT_EQ(Messages(L"punctuation", L"Save?", L"Speichern?"), Texts{});
    EXPECT_EQ(Messages(L"punctuation", L"Save?", L"\u00BFGuardar?", L"en", L"es"), Texts{});
    EXPECT_EQ(Messages(L"punctuation", L"Save?", L"\u0391\u03C0\u03BF\u03B8\u03AE\u03BA\u03B5\u03C5\u03C3\u03B7;",
                       L"en", L"el"),
              Texts{}) << "the Greek question mark";
    EXPECT_EQ(Messages(L"punctuation", L"Done.", L"\u5B8C\u4E86\u3002", L"en", L"zh"), Texts{});
    EXPECT_EQ(Messages(L"punctuation", L"Save?", L"Speichern."),
              Texts{L"the source ends with \"?\", the target with \".\""});
    EXPECT_EQ(Messages(L"punctuation", L"Save", L"Speichern:"),
              Texts{L"the target ends with \":\", the source with no mark"});
    EXPECT_EQ(Messages(L"punctuation", L"Save.", L"Speichern ."), Texts{}) << "spacing before the mark aside";

    EXPECT_EQ(Messages(L"urls", L"See https://a.example/x or mail a@b.example.", L"Siehe https://a.example/x."),
              Texts{L"a@b.example missing in the target"});
    EXPECT_EQ(Messages(L"repeated-words", L"Open the file", L"\u00D6ffnen Sie die die Datei"),
              Texts{L"\"die\" twice"});
    EXPECT_EQ(Messages(L"repeated-words", L"He said that that was it", L"Er sagte das das"), Texts{L"\"das\" twice"});
    EXPECT_EQ(Messages(L"repeated-words", L"Bye bye", L"Tsch\u00FCss tsch\u00FCss", L"en", L"de"),
              Texts{L"\"tsch\u00FCss\" twice"});
    EXPECT_EQ(Messages(L"repeated-words", L"Bora Bora", L"Bora Bora"), Texts{}) << "twice in the source too";
    EXPECT_EQ(Messages(L"repeated-words", L"a, a", L"die, die"), Texts{}) << "a comma between";

    EXPECT_EQ(Messages(L"brackets", L"Open (now)", L"\u00D6ffnen (jetzt"), Texts{L"unpaired \"(\" in the target"});
    EXPECT_EQ(Messages(L"brackets", L"Open (now", L"\u00D6ffnen (jetzt"), Texts{}) << "not paired in the source";
    EXPECT_EQ(Messages(L"brackets", L"Say \"yes\"", L"Sag \u201Eja\u201C"), Texts{});
}

TEST(SegmentChecks, TermsLengthAndTheChecklist) {
    Glossary glossary;
    std::wstring error;
    ASSERT_TRUE(glossary.Read("\xEF\xBB\xBF" "file,Datei|Akte\nfolder,Ordner\nfolder,!Verzeichnis\n", &error));
    ASSERT_EQ(glossary.Entries().size(), 2u);
    EXPECT_EQ(glossary.Entries()[1].targets, Texts{L"Ordner"});
    EXPECT_EQ(glossary.Entries()[1].forbidden, Texts{L"Verzeichnis"});
    const auto terms = [&](const wchar_t* source, const wchar_t* target) {
        return Check(L"terms", source, target, L"en", L"de", &glossary).messages;
    };
    EXPECT_EQ(terms(L"Open the file", L"\u00D6ffnen Sie die Datei"), Texts{});
    EXPECT_EQ(terms(L"Open the File", L"die datei \u00F6ffnen"), Texts{}) << "case is off by default";
    EXPECT_EQ(terms(L"Open the file", L"Akte \u00F6ffnen"), Texts{}) << "a further target term";
    EXPECT_EQ(terms(L"Open the files", L"Dateien \u00F6ffnen"), Texts{}) << "whole words: \"files\" is no \"file\"";
    EXPECT_EQ(terms(L"Open the file", L"Das Dokument \u00F6ffnen"), Texts{L"\"file\" without \"Datei\""});
    EXPECT_EQ(terms(L"Open the folder", L"Das Verzeichnis \u00F6ffnen"),
              (Texts{L"\"folder\" without \"Ordner\"", L"forbidden term \"Verzeichnis\""}));

    // TBX: the first language is the source; deprecated terms are forbidden.
    Glossary tbx;
    ASSERT_TRUE(tbx.Read("<?xml version=\"1.0\"?><martif type=\"TBX\"><text><body>"
                         "<termEntry id=\"1\"><langSet xml:lang=\"en\"><tig><term>file</term></tig></langSet>"
                         "<langSet xml:lang=\"de\"><tig><term>Datei</term></tig>"
                         "<tig><term>Akte</term><termNote type=\"administrativeStatus\">deprecatedTerm-admn-sts</termNote>"
                         "</tig></langSet></termEntry>"
                         "<termEntry><langSet xml:lang=\"en\"><ntig><termGrp><term>folder</term></termGrp></ntig></langSet>"
                         "<langSet xml:lang=\"de\"><ntig><termGrp><term>Ordner</term></termGrp></ntig></langSet></termEntry>"
                         "</body></text></martif>",
                         &error))
        << testing::PrintToString(error);
    ASSERT_EQ(tbx.Entries().size(), 2u);
    EXPECT_EQ(tbx.Entries()[0].source, L"file");
    EXPECT_EQ(tbx.Entries()[0].targets, Texts{L"Datei"});
    EXPECT_EQ(tbx.Entries()[0].forbidden, Texts{L"Akte"});
    EXPECT_EQ(tbx.Entries()[1].targets, Texts{L"Ordner"});
    EXPECT_EQ(Check(L"terms", L"Open the file", L"Akte \u00F6ffnen", L"en", L"de", &tbx).messages,
              (Texts{L"\"file\" without \"Datei\"", L"forbidden term \"Akte\""}));
    // TBX 3: a tbx root, concept entries and language sections; CSV rows of
    // one field are passed over, the rows after them still read.
    Glossary three;
    ASSERT_TRUE(three.Read("<tbx type=\"TBX-Core\" xml:lang=\"en\"><text><body><conceptEntry id=\"c1\">"
                           "<langSec xml:lang=\"en\"><termSec><term>save</term></termSec></langSec>"
                           "<langSec xml:lang=\"fr\"><termSec><term>enregistrer</term></termSec></langSec>"
                           "</conceptEntry></body></text></tbx>",
                           &error));
    ASSERT_EQ(three.Entries().size(), 1u);
    EXPECT_EQ(three.Entries()[0].targets, Texts{L"enregistrer"});
    Glossary rows;
    ASSERT_TRUE(rows.Read("file,Datei\nlonely\n\nfolder,Ordner\n", &error));
    EXPECT_EQ(rows.Entries().size(), 2u);
    Glossary notTbx;
    EXPECT_FALSE(notTbx.Read("<martif><text><body><termEntry></body></martif>", &error));

    EXPECT_EQ(Check(L"length", L"Save", L"Speichern", L"en", L"de", nullptr, nullptr,
                    [](CheckSettings& s) { s.lengthPercent = 200; })
                  .messages,
              Texts{L"the target is 225 % of the source"});
    EXPECT_EQ(Messages(L"length", L"Save", L"Speichern"), Texts{}) << "off without a percentage";

    Checklist checklist;
    ASSERT_TRUE(checklist.Read("\xEF\xBB\xBF" "re:^Save\tSichern\tmissing\tSave\n# rules\nre:\\bOK\\b\tOK\tmissing\tkeep OK\n\tre:(?i)bitte\tforbidden\tno bitte\n"
                               "Cancel\tAbbrechen\tunexpected\n",
                               &error))
        << testing::PrintToString(error);
    const auto rules = [&](const wchar_t* source, const wchar_t* target) {
        return Check(L"custom", source, target, L"en", L"de", nullptr, &checklist).messages;
    };
    EXPECT_EQ(rules(L"Save", L"Speichern"), Texts{L"Save"}) << "the first rule, after the byte-order mark";
    EXPECT_EQ(rules(L"Press OK", L"OK dr\u00FCcken"), Texts{});
    EXPECT_EQ(rules(L"Press OK", L"Bitte best\u00E4tigen"), (Texts{L"keep OK", L"no bitte"}));
    EXPECT_EQ(rules(L"Stop", L"Abbrechen"), Texts{L"Cancel\tAbbrechen\tunexpected"}) << "named by its line";
    Checklist broken;
    EXPECT_FALSE(broken.Read("a\tb\tsometimes\n", &error));
    EXPECT_NE(error.find(L"line 1"), std::wstring::npos);
    EXPECT_FALSE(broken.Read("re:(\tb\tmissing\n", &error));
}

TEST(SegmentChecks, ConsistencyGroupsAcrossFiles) {
    CheckSettings settings;
    std::wstring bad;
    ASSERT_TRUE(ParseCheckList(L"inconsistent-target,inconsistent-source", &settings, &bad));
    ConsistencyIndex index(settings);
    index.Add(0, 0, L"Open the file", L"Datei \u00F6ffnen");
    index.Add(0, 1, L"Close", L"Schlie\u00DFen");
    index.Add(1, 0, L"Open  the file ", L"Die Datei \u00F6ffnen");  // spaces collapsed: the same source
    index.Add(1, 1, L"Shut", L"Schlie\u00DFen");
    index.Add(1, 2, L"Open the file", L"Datei  \u00F6ffnen");        // the first target again
    index.Add(2, 0, L"Untouched", L"");                              // empty: not counted
    const auto groups = index.Groups();
    ASSERT_EQ(groups.size(), 2u);
    EXPECT_EQ(groups[0].kind, CheckKind::kInconsistentTarget);
    EXPECT_EQ(groups[0].variants, 2);
    ASSERT_EQ(groups[0].members.size(), 3u);
    EXPECT_EQ(groups[0].members[1].file, 1u);
    EXPECT_EQ(groups[0].members[2].segment, 2u);
    EXPECT_EQ(GroupMessage(groups[0]), L"2 translations");
    EXPECT_EQ(groups[1].kind, CheckKind::kInconsistentSource);
    EXPECT_EQ(GroupMessage(groups[1]), L"2 sources");
    EXPECT_LE(index.BytesPerSegment(), 64u);

    // Case ignored on request; with the checks off nothing is kept.
    settings.consistencyIgnoreCase = true;
    ConsistencyIndex ignoring(settings);
    ignoring.Add(0, 0, L"Save", L"Speichern");
    ignoring.Add(0, 1, L"save", L"SPEICHERN");
    EXPECT_TRUE(ignoring.Groups().empty());
    settings.enabled.reset();
    ConsistencyIndex off(settings);
    off.Add(0, 0, L"a", L"b");
    EXPECT_EQ(off.Segments(), 0u);

    // The summary names the checks that found something.
    ASSERT_TRUE(ParseCheckList(L"all", &settings, &bad));
    CheckPass pass(settings);
    EXPECT_EQ(pass.Summary(), L"Checked 0 segments in 0 files: 0 issues.");
    EXPECT_FALSE(ParseCheckList(L"numbers, typo", &settings, &bad));
    EXPECT_EQ(bad, L"typo");
}
