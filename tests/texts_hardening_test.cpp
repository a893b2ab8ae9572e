// The text-table jobs, dumptextbin and applytextbin on damaged inputs, full
// disks and blocked outputs.
//
// Besides the string files and text.bin, the text inputs are damaged too:
// lists, tables and translation files come from translators' editors in
// every shape, cut short or with stray bytes.
#include "support/hardening.hpp"
#include "support/texts_builders.hpp"

namespace {

using namespace texts;

// The offsets right after each `delimiter` byte (a line feed, a NUL): the
// places where a line or a string ends.
std::vector<size_t> after_each(const Bytes& data, uint8_t delimiter) {
    std::vector<size_t> v;
    for (size_t i = 0; i < data.size(); ++i)
        if (data[i] == delimiter) v.push_back(i + 1);
    return v;
}
std::vector<size_t> after_each(const std::string& data, char delimiter) {
    return after_each(to_bytes(data), uint8_t(delimiter));
}

// readtables: two passes over one table, then all.str.
const std::string kZund6ListText = crlf("t1.txt\n2\n1\n.\n.\n");
const std::string kIconsTable = crlf("k1\tone\tx\nk2\ttwo\n\tk3\tthree\n");
const Bytes kAllStr = string_file({"alpha", "", "beta gamma", "z"});

// dumptodo and the apply jobs: a block of two passes over a table with a
// masked line break, and a string file with an empty string.
const std::string kTodoText = crlf("a.txt\n2\n1\n.\n.\ns.str\n.\n");
const std::string kTable = crlf("k1\tone\nk2\ttwo@lines\n\tk3\tthree\n");
const Bytes kStrings = string_file({"hi", "", "there"});
const std::string kReadyText = crlf("ONE\nTWO@LINES\nK3\nK1\nK2\n\nHI\n\nTHERE\n");
const std::string kStylusText =
    crlf("ONE\n\n---\nTWO\n\n---\nK3\n\n---\n#\n#\n#\nK1\n\n---\nK2\n\n---\nX\n\n---\n#\n#\n#\n");

// importpo and collecttodo on the same tables: a translated PO (a fuzzy
// entry, a masked line break, Cyrillic) and a filled-in numbered list.
const std::string kPoText = "msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=UTF-8\\n\"\n\n"
                            "msgctxt \"a.txt:2\"\nmsgid \"one\"\nmsgstr \"ONE\"\n\n"
                            "msgctxt \"a.txt:2\"\nmsgid \"\"\n\"two\\n\"\n\"lines\"\nmsgstr \"TWO\\nLINES\"\n\n"
                            "#, fuzzy\nmsgctxt \"a.txt:1\"\nmsgid \"k1\"\nmsgstr \"K1\"\n\n"
                            "msgctxt \"s.str\"\nmsgid \"hi\"\nmsgstr \"\xD0\xBF\xD1\x80\xD0\xB8\"\n";
std::string filled_list() {
    const std::vector<std::pair<std::string, std::string>> texts = {
        {"a.txt", "one"}, {"a.txt", "two@lines"}, {"a.txt", "k3"}, {"a.txt", "k1"}, {"a.txt", "k2"},
        {"a.txt", ""},    {"s.str", "hi"},        {"s.str", ""},   {"s.str", "there"}};
    std::string list;
    for (size_t i = 0; i < texts.size(); ++i) {
        std::string r = record(int(i), texts[i].first, texts[i].second);
        if (i % 2 == 0) r.replace(r.find(kPrompt), kPrompt.size(), "T" + texts[i].second);
        list += r;
    }
    return crlf(list + summary(22, "0.008594"));
}

// maskbreaks and unmaskbreaks.
const std::string kBreaks = "a\r\nb\nc\r\n\n\nd";
const std::string kMasked = "@a@b\r\n@c@";

// dumptextbin: runs ended by NUL, by a control byte and by a high byte, and
// a last run that reaches the end of the data.
Bytes text_bin() {
    Buf b;
    b.u8(0).raw(std::string("Hello\nWorld")).u8(0).u8(1).raw(std::string("ab")).u8(0xE0);
    b.raw(std::string("cd")).u8(0).raw(std::string("end"));
    return b.b;
}

// applytextbin: dumptextbin's list of text_bin(), "Hello~World" translated
// with a line feed, "cd" (inside the text "ab\xE0cd") and "end" translated.
std::string filled_bin_list() {
    std::string list = bin_record("{0001}{00011}{", "Hello~World") + bin_record("{000E}{00005}{", "ab\xE0" "cd") +
                       bin_record("{0011}{00002}{", "cd") + bin_record("{0014}{00003}{", "end");
    const std::vector<std::string> translations = {"Hi~there", kPrompt, "CD", "fin"};
    size_t p = 0;
    for (const std::string& tr : translations) {
        p = list.find(kPrompt, p);
        list.replace(p, kPrompt.size(), tr);
        p += tr.size();
    }
    return crlf(list);
}

// The list and the tables it names, as every job of the translation list
// reads them.
void put_listed(JobTest& t) {
    t.put(kTodo, kTodoText);
    t.put(kText + "a.txt", kTable);
    t.put(kText + "s.str", kStrings);
}

// A job that reads the list and its tables, and nothing else.
Scenario listed_only(const char* job) {
    return {job, job, "c:\\", put_listed,
            {{kText + "s.str", after_each(kStrings, 0), {}},
             {kTodo, after_each(kTodoText, '\n'), {}},
             {kText + "a.txt", after_each(kTable, '\n'), {}}}};
}

std::vector<Scenario> text_scenarios() {
    const Bytes bin = text_bin();
    const std::string list = filled_list();
    const std::string bin_list = filled_bin_list();
    return {
        {"readtables", "readtables", "c:\\",
         [](JobTest& t) {
             t.put(kZund6List, kZund6ListText);
             t.put(kIcons + "t1.txt", kIconsTable);
             t.put(kIcons + "all.str", kAllStr);
         },
         {{kIcons + "all.str", after_each(kAllStr, 0), {}},
          {kZund6List, after_each(kZund6ListText, '\n'), {}},
          {kIcons + "t1.txt", after_each(kIconsTable, '\n'), {}}}},
        listed_only("dumptodo"),
        {"applytodo_ready", "applytodo_ready", "c:\\",
         [](JobTest& t) {
             put_listed(t);
             t.put(kReady, kReadyText);
             t.put(kDone + "a.txt", "an earlier result\r\n");
             t.put(kDone + "s.str", string_file({"earlier"}));
         },
         {{kText + "s.str", after_each(kStrings, 0), {}},
          {kReady, after_each(kReadyText, '\n'), {}},
          {kText + "a.txt", after_each(kTable, '\n'), {}},
          {kTodo, {}, {}}}},
        {"applytodo_threeline", "applytodo_threeline", "c:\\",
         [](JobTest& t) {
             t.put(kTodo, kTodoText);
             t.put(kText + "a.txt", kTable);
             t.put(kStylus, kStylusText);
             t.put(kDone + "a.txt", "an earlier result\r\n");
         },
         {{kStylus, {}, {}}, {kText + "a.txt", after_each(kTable, '\n'), {}}}},
        listed_only("exportpo"),
        {"importpo", "importpo", "c:\\",
         [](JobTest& t) {
             put_listed(t);
             t.put(kPo, kPoText);
         },
         {{kPo, after_each(kPoText, '\n'), {}},
          {kTodo, after_each(kTodoText, '\n'), {}},
          {kText + "a.txt", after_each(kTable, '\n'), {}}}},
        {"collecttodo", "collecttodo", "c:\\",
         [list](JobTest& t) {
             put_listed(t);
             t.put(kList, list);
         },
         {{kList, after_each(list, '\n'), {}},
          {kTodo, after_each(kTodoText, '\n'), {}},
          {kText + "s.str", after_each(kStrings, 0), {}}}},
        {"maskbreaks", "maskbreaks", "c:\\",
         [](JobTest& t) {
             t.put(kText + "empty.txt", "");
             t.put(kText + "t1.txt", kBreaks);
             t.put(kText + "t2.txt", kBreaks + "\n");
         },
         {{kText + "t1.txt", after_each(kBreaks, '\n'), {}}}},
        {"unmaskbreaks", "unmaskbreaks", "c:\\",
         [](JobTest& t) {
             t.put(kDone + "t1.txt", kMasked);
             t.put(kDone + "temp.txt", kMasked + "@");
         },
         {{kDone + "t1.txt", after_each(kMasked, '@'), {}}}},
        {"openbigtext", "openbigtext", "c:\\",
         [](JobTest& t) {
             t.put(kBig + "zund6eng.txt", "e6\r\n");
             t.put(kBig + "zund6rus.txt", "r6\r\n");
             t.put(kBig + "zund7eng.txt", "e7\n");
         },
         {{kBig + "zund7eng.txt", {}, {}}}},
        {"dumptextbin", "dumptextbin", "c:\\",
         [=](JobTest& t) {
             t.put(kBin, bin);
             t.mkdirs("c:\\games\\Brassjaw\\xfiles");
         },
         {{kBin, {1, 12, 13, 15, 16, 19}, {}}}},
        {"applytextbin", "applytextbin", "c:\\",
         [=](JobTest& t) {
             t.put(kBin, bin);
             t.put(kBinOut, bin_list);
             t.put(kBinDone, "an earlier result");
         },
         {{kBin, {1, 12, 13, 15, 16, 19}, {}}, {kBinOut, after_each(bin_list, '\n'), {}}}},
    };
}

INSTANTIATE_TEST_SUITE_P(Texts, Damage, ::testing::ValuesIn(text_scenarios()), scenario_name);
INSTANTIATE_TEST_SUITE_P(Texts, FullDisk, ::testing::ValuesIn(text_scenarios()), scenario_name);
INSTANTIATE_TEST_SUITE_P(Texts, BlockedOutput, ::testing::ValuesIn(text_scenarios()), scenario_name);

} // namespace
