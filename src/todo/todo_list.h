#pragma once

namespace os {

class Table;

// "A To Do item must have a priority and a description."
extern const char* const kTodoRefusal;

// Makes `table` (over todo.db) the to-do list's TODOTABLE: in the order of
// the IMP index (highest priority first, then the most recently changed),
// with the row rule that refuses an entry without a priority or a
// description (the refusal is shown).
void setupTodoTable(Table& table);

} // namespace os
