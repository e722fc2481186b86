// The data table's text file: UTF-8 with a byte-order mark and CR LF line
// ends, a "#ver" line, then one "#dat" line per record:
//
//   #dat<TAB>"id_text"<TAB>"date_time"<TAB>"file_size"<TAB>"flags"<TAB>"path"<TAB>"tags"
//
// date_time and file_size are decimal, right-aligned in 14 and 11
// characters, flags lowercase hexadecimal right-aligned in 8. Other writers
// (a text editor, an older server) may leave anything in the file, so the
// reader takes what it can and says whether it met content it could not use.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "library/data_table_record.h"

namespace velmor {

inline constexpr std::string_view kDataTableVersionLine = "#ver VelmorVR Server DataTable Ver2.20";

// Far above the longest record a server writes (a 32,767-character path
// and its tags); a longer line is junk and is skipped whole.
inline constexpr size_t kMaxRecordLineBytes = 256 * 1024;
// A line without its three texts at its longest: the mark, tabs, quotes and
// the numbers with every digit and sign. Records kept from a file leave room
// for it, so their lines, written again, are never too long to read.
inline constexpr size_t kLongestLineOverhead = 80;

enum class RecordLineResult {
  kNotRecord,   // the line does not begin with "#dat"
  kWhole,       // all six fields, each closed by its quote
  kIncomplete,  // fields missing or not closed: the record holds what was there
};

// Reads the fields of one line (without its line break). Each field: skip to
// the next '"'; a run of exactly two or six quotes there is an empty field;
// otherwise the field runs to the next '"'. id_int comes from the id text,
// the name position from the path.
RecordLineResult ParseRecordLine(std::string_view line, S_DATATABLE* record);

// The byte-order mark and the "#ver" line.
void AppendTableHeader(std::string* out);
// One "#dat" line with its CR LF. A '"' or a line feed in a text field would
// break the line for every reader, so they are left out.
void AppendRecordLine(const S_DATATABLE& record, std::string* out);

struct TableText {
  std::vector<S_DATATABLE> records;  // in file order
  // A record the text held was not read whole or was dropped: a cut "#dat"
  // line, one without a usable id, an over-long one, or one the reader
  // cannot see (another encoding, a mark not at the start of its line).
  // Such a file is kept aside before the table writes over it. Other lines,
  // a user's notes among them, are ignored and are no damage.
  bool damaged = false;
};

// Every usable record of a whole file's bytes. A record needs an id text
// that gives a real id (above kMaxTemporaryId): one without can never be
// asked for by id and would only hand out a wrong one. Incomplete lines with
// a real id are kept with what they hold.
void ReadTableText(std::string_view bytes, TableText* table);
// The same, read in up to `parts` pieces of whole lines side by side (a
// large file only): the pieces in file order, each with its own records and
// damage.
std::vector<TableText> ReadTableTextInParts(std::string_view bytes, size_t parts);

}  // namespace velmor
