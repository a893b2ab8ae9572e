// The fonts of the fonts chain judged by the translation: which of the
// characters its texts use each font draws, which it lacks, and which the
// rebuilt font keeps from the old one.
#pragma once

#include "jobs/texts/tables.hpp"
#include "status/engine.hpp"

#include <string_view>

namespace status {

// Takes the characters of a text's translation (Windows-1251, line breaks as
// '\n') as the counting of the texts meets it.
void take_characters(const tables::Text& t, std::string_view translation);

// The check of a step of the fonts chain: the fonts it makes, or else those
// it reads, against the characters taken (or, when no translation is
// counted, those of the translated tables in text_!).
void glyphs(Run& run, StepView& v);

} // namespace status
