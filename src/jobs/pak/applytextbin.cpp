// applytextbin: puts the translations of the list "text.txt" into a copy of
// the second game's text.bin, "text_!\text.bin", once a translator has
// written them in place of the placeholder lines of dumptextbin's records
// (see formats/textbin.hpp).
//
// A translation takes its text's place: its bytes from the record's offset
// ("~" a line feed), then NUL bytes up to the text's length, so that the
// string ends where the translation ends and nothing after the text moves.
// Every other byte is text.bin's: the copy has its length, and every offset
// the game uses stays where it was. A record whose placeholder is still there
// keeps its text; a translation equal to its text changes nothing.
//
// The list is checked against the records as dumptextbin would write them
// now: every record there, once, in order, with its offset, length and text
// unchanged, so that a list made of another text.bin is refused rather than
// half applied. Refused as well: a record whose lines are damaged, a
// translation over several lines, one longer than its text (the ruler is its
// room), one holding a control byte, and two translated records whose texts
// overlap (a text that goes on past the byte that ended its run holds the
// next records' bytes: one of them may be translated, not both). Every
// problem is listed; then nothing is written, and an earlier copy stays as
// it was.
#include "formats/textbin.hpp"
#include "formats/translist.hpp"
#include "platform/io.hpp"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace {

const std::string kBinPath = "c:\\games\\Brassjaw\\xfiles\\text.bin";
const std::string kListPath = "c:\\games\\Brassjaw\\xfiles\\text.txt";
const std::string kOutPath = "c:\\games\\Brassjaw\\xfiles\\text_!\\text.bin";

// Why the bytes of a translation cannot stand in text.bin; empty when they
// can. A line feed is the one control byte a translation may hold.
std::string translation_fault(std::string_view tr) {
    for (unsigned char c : tr) {
        if (c == 0) return "the translation holds a NUL byte";
        if (c == '\r') return "the translation holds a carriage return";
        if (c == '\t') return "the translation holds a tab";
        if (c < 0x20 && c != '\n') return io::format("the translation holds the control byte 0x%02X", c);
    }
    return "";
}

std::string count_bytes(uint64_t n) { return io::format("%llu byte%s", (unsigned long long)n, n == 1 ? "" : "s"); }

} // namespace

void applytextbin() {
    FILE* bin = io::open_or_die(kBinPath.c_str(), "rb");
    // Binary: read once for its encoding, then line by line, CR LF and LF
    // line ends alike.
    FILE* list = io::open_or_die(kListPath.c_str(), "rb");
    io::Replacement out(kOutPath, "wb");
    if (!out.ok()) io::cant_open();
    const std::vector<uint8_t> bytes = io::read_all(bin);
    if (std::ferror(bin)) io::damaged(kBinPath, "it cannot be read to its end");
    std::fclose(bin);
    const std::string_view data(reinterpret_cast<const char*>(bytes.data()), bytes.size());

    io::Problems problems("the translated text.bin is not written");
    translist::Lines lines(list, kListPath, &problems);
    textbin::Reader records(&lines, &problems);
    uint32_t texts = 0, translated = 0, untranslated = 0, unchanged = 0;
    uint64_t used = 0, room = 0; // the bytes of the translations, and of their texts

    // A record of the list where text.bin has no text of its offset: the
    // text there was listed before, or text.bin holds none.
    auto misplaced = [&](const textbin::Listed& r, const std::string& expected) {
        std::string where = lines.at(r.line) + ": " + textbin::key(r.offset);
        if (!textbin::text_at(data, r.offset))
            problems.add(where, "no text of text.bin begins at this offset: the list does not match text.bin");
        else if (expected.empty())
            problems.add(where, "doubled or out of order: it comes after the last text of text.bin");
        else
            problems.add(where, "doubled or out of order: " + expected + " is expected here");
    };
    // Records missing one after another are told as one problem.
    uint64_t missing_from = 0, missing_to = 0;
    uint32_t missing = 0;
    size_t missing_at = 0;
    auto tell_missing = [&] {
        if (missing == 0) return;
        std::string where = lines.at(missing_at) + ": " + textbin::key(missing_from);
        if (missing == 1) problems.add(where, "missing");
        else problems.add(where + " to " + textbin::key(missing_to), io::format("missing, all %u of them", missing));
        missing = 0;
    };

    textbin::Listed cur;
    bool held = false;          // `cur` is read and not yet matched
    uint64_t copied = 0;        // text.bin is in the copy up to this offset
    uint64_t taken_to = 0;      // the end of the texts translated so far
    uint64_t taken_by = 0;      // the offset of the translated text that ends there
    textbin::for_each_text(data, [&](uint64_t offset, std::string_view text) {
        ++texts;
        // The record of this text; records before it have no text to match.
        for (;;) {
            if (!held) held = records.next(&cur);
            if (held && cur.offset < offset) {
                tell_missing();
                misplaced(cur, textbin::key(offset));
                held = false;
                continue;
            }
            if (!held || cur.offset > offset) {
                if (missing++ == 0) {
                    missing_from = offset;
                    missing_at = held ? cur.line : records.end_line();
                }
                missing_to = offset;
                ++untranslated;
                return;
            }
            break;
        }
        tell_missing();
        held = false;

        // The record as the translator left it.
        auto where = [&] { return lines.at(cur.line) + ": " + textbin::key(offset); };
        if (!cur.damage.empty()) {
            problems.add(where(), "its lines are damaged: " + cur.damage);
            return;
        }
        if (cur.length != text.size()) {
            problems.add(where(), io::format("its length is %llu, but the text at this offset of text.bin has ",
                                             (unsigned long long)cur.length) +
                                      count_bytes(text.size()) + ": the list does not match text.bin");
            return;
        }
        if (cur.text != textbin::shown(text)) {
            problems.add(where(), "its text is no longer the text at this offset of text.bin: the list does not "
                                  "match text.bin");
            return;
        }
        if (cur.translation_lines > 1) {
            problems.add(where(), io::format("the translation runs over %zu lines: write it on one line, with '~' "
                                             "for a line feed",
                                             cur.translation_lines));
            return;
        }
        if (cur.translation == translist::kPrompt) {
            ++untranslated;
            return;
        }
        if (cur.translation == cur.text) {
            ++unchanged;
            return;
        }

        // The translation, checked against its room and the texts translated
        // before it.
        const std::string tr = textbin::unshown(cur.translation);
        ++translated;
        used += tr.size();
        room += text.size();
        const uint32_t before = problems.count();
        if (tr.size() > text.size())
            problems.add(where(), "the translation is " + count_bytes(tr.size() - text.size()) +
                                      " longer than its text: its room is the " + count_bytes(text.size()) +
                                      " of its ruler");
        if (std::string fault = translation_fault(tr); !fault.empty()) problems.add(where(), fault);
        if (offset < taken_to)
            problems.add(where(), "its text overlaps the text of " + textbin::key(taken_by) +
                                      ", which is translated too: only one of them can be");
        if (offset + text.size() > taken_to) {
            taken_to = offset + text.size();
            taken_by = offset;
        }
        if (problems.count() != before) return;

        // Into the copy: text.bin up to the text, the translation, NUL bytes
        // up to the text's length.
        std::string put(data.substr(copied, offset - copied));
        put += tr;
        put.resize(put.size() + (text.size() - tr.size()), '\0');
        out.write(put.data(), put.size());
        copied = offset + text.size();
    });
    tell_missing();
    while (held || records.next(&cur)) { // records past the last text
        held = false;
        misplaced(cur, "");
    }
    std::fclose(list);

    problems.refuse_if_any();
    out.write(data.data() + copied, data.size() - copied);
    out.commit();
    std::printf("%u records: %u translated, %u untranslated, %u unchanged; the translations fill %llu of the %llu "
                "bytes of their texts\n",
                texts, translated, untranslated, unchanged, (unsigned long long)used, (unsigned long long)room);
}
