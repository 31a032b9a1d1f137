// The runtime word table: the words, symbols, refinements and the issue the
// runtime compares against or passes as action names, interned once at
// start-up, after the global context exists.
//
// Symbol entries are symbol ids (compare them with a word's symbol, usually
// after symbol::resolve so that case variants match). The 137 word,
// refinement and issue cells live in one fixed block that the root block
// holds, so a reference to one stays valid for the life of the process; the
// collector marks them through the root block. The spellings "put-ed" and
// "swaped" are interned as written.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"

// Group 1: symbol ids.
#define KEL_RUNTIME_SYMBOLS(X)        \
    X(spec, "spec")                   \
    X(body, "body")                   \
    X(words, "words")                 \
    X(class_, "class")                \
    X(logic_t, "logic!")              \
    X(integer_t, "integer!")          \
    X(char_t, "char!")                \
    X(float_t, "float!")              \
    X(percent_t, "percent!")          \
    X(any_type_t, "any-type!")        \
    X(exit, "exit")                   \
    X(return_, "return")              \
    X(Windows, "Windows")             \
    X(Syllable, "Syllable")           \
    X(macOS, "macOS")                 \
    X(Linux, "Linux")                 \
    X(NetBSD, "NetBSD")               \
    X(repeat, "repeat")               \
    X(foreach, "foreach")             \
    X(map_each, "map-each")           \
    X(remove_each, "remove-each")     \
    X(any, "any")                     \
    X(break_, "break")                \
    X(copy, "copy")                   \
    X(end, "end")                     \
    X(fail, "fail")                   \
    X(into, "into")                   \
    X(opt, "opt")                     \
    X(not_, "not")                    \
    X(quote, "quote")                 \
    X(case_, "case")                  \
    X(reject, "reject")               \
    X(set, "set")                     \
    X(skip, "skip")                   \
    X(some, "some")                   \
    X(thru, "thru")                   \
    X(to, "to")                       \
    X(none, "none")                   \
    X(bar, "|")                       \
    X(minus, "-")                     \
    X(if_, "if")                      \
    X(remove, "remove")               \
    X(while_, "while")                \
    X(insert, "insert")               \
    X(only, "only")                   \
    X(collect, "collect")             \
    X(keep, "keep")                   \
    X(pick, "pick")                   \
    X(ahead, "ahead")                 \
    X(after, "after")                 \
    X(x, "x")                         \
    X(y, "y")                         \
    X(z, "z")                         \
    X(self, "self")                   \
    X(values, "values")               \
    X(owner, "owner")                 \
    X(owned, "owned")                 \
    X(events_q, "events?")            \
    X(true_, "true")                  \
    X(false_, "false")                \
    X(yes, "yes")                     \
    X(no, "no")                       \
    X(on, "on")                       \
    X(off, "off")                     \
    X(type, "type")                   \
    X(face, "face")                   \
    X(window, "window")               \
    X(offset, "offset")               \
    X(key, "key")                     \
    X(flag, "flag")                   \
    X(code, "code")                   \
    X(picked, "picked")               \
    X(flags, "flags")                 \
    X(away_q, "away?")                \
    X(ctrl_q, "ctrl?")                \
    X(shift_q, "shift?")              \
    X(down_q, "down?")                \
    X(mid_down_q, "mid-down?")        \
    X(alt_down_q, "alt-down?")        \
    X(aux_down_q, "aux-down?")        \
    X(orientation, "orientation")     \
    X(get, "get")                     \
    X(put, "put")                     \
    X(post, "post")                   \
    X(head, "head")                   \
    X(size, "size")                   \
    X(rgb, "rgb")                     \
    X(alpha, "alpha")                 \
    X(argb, "argb")                   \
    X(date, "date")                   \
    X(year, "year")                   \
    X(month, "month")                 \
    X(day, "day")                     \
    X(zone, "zone")                   \
    X(isoweek, "isoweek")             \
    X(week, "week")                   \
    X(weekday, "weekday")             \
    X(yearday, "yearday")             \
    X(julian, "julian")               \
    X(time, "time")                   \
    X(hour, "hour")                   \
    X(minute, "minute")               \
    X(second, "second")               \
    X(timezone, "timezone")           \
    X(amount, "amount")               \
    X(user, "user")                   \
    X(host, "host")                   \
    X(system, "system")               \
    X(system_global, "system-global") \
    X(stack, "stack")                 \
    X(trace, "trace")                 \
    X(no_trace, "no-trace")

// Group 2: global words made from group-1 symbols (exact lookup).
#define KEL_RUNTIME_SYMBOL_WORDS(X) \
    X(Windows, "Windows")           \
    X(Syllable, "Syllable")         \
    X(macOS, "macOS")               \
    X(Linux, "Linux")               \
    X(NetBSD, "NetBSD")             \
    X(to, "to")                     \
    X(thru, "thru")                 \
    X(not_, "not")                  \
    X(remove, "remove")             \
    X(while_, "while")              \
    X(collect, "collect")           \
    X(keep, "keep")                 \
    X(ahead, "ahead")               \
    X(bar, "|")                     \
    X(any, "any")                   \
    X(some, "some")                 \
    X(copy, "copy")                 \
    X(opt, "opt")                   \
    X(into, "into")                 \
    X(insert, "insert")             \
    X(if_, "if")                    \
    X(quote, "quote")               \
    X(set, "set")                   \
    X(case_, "case")                \
    X(end, "end")

// Group 3: global words made from spellings (by alias, spelling kept):
// series actions and their past forms, parse trace events, action and
// object words, lexer and interpreter trace events, callback names, error
// categories. "throw" is both a trace event and a category.
#define KEL_RUNTIME_GLOBAL_WORDS(X)           \
    X(at, "at")                               \
    X(back, "back")                           \
    X(find, "find")                           \
    X(head, "head")                           \
    X(head_q, "head?")                        \
    X(index_q, "index?")                      \
    X(length_q, "length?")                    \
    X(next, "next")                           \
    X(pick, "pick")                           \
    X(skip, "skip")                           \
    X(select, "select")                       \
    X(tail, "tail")                           \
    X(tail_q, "tail?")                        \
    X(change, "change")                       \
    X(changed, "changed")                     \
    X(clear, "clear")                         \
    X(cleared, "cleared")                     \
    X(set_path, "set-path")                   \
    X(append, "append")                       \
    X(appended, "appended")                   \
    X(move, "move")                           \
    X(moved, "moved")                         \
    X(poke, "poke")                           \
    X(poked, "poked")                         \
    X(put, "put")                             \
    X(put_ed, "put-ed")                       \
    X(removed, "removed")                     \
    X(random, "random")                       \
    X(randomized, "randomized")               \
    X(reverse, "reverse")                     \
    X(reversed, "reversed")                   \
    X(sort, "sort")                           \
    X(sorted, "sorted")                       \
    X(swap, "swap")                           \
    X(swaped, "swaped")                       \
    X(take, "take")                           \
    X(taken, "taken")                         \
    X(trim, "trim")                           \
    X(trimmed, "trimmed")                     \
    X(inserted, "inserted")                   \
    X(uppercase, "uppercase")                 \
    X(lowercase, "lowercase")                 \
    X(checksum, "checksum")                   \
    X(push, "push")                           \
    X(pop, "pop")                             \
    X(fetch, "fetch")                         \
    X(match, "match")                         \
    X(iterate, "iterate")                     \
    X(paren, "paren")                         \
    X(anon, "<anon>")                         \
    X(body, "<body>")                         \
    X(not_found, "<not-found>")               \
    X(add, "add")                             \
    X(subtract, "subtract")                   \
    X(divide, "divide")                       \
    X(multiply, "multiply")                   \
    X(on_parse_event, "on-parse-event")       \
    X(on_change_s, "on-change*")              \
    X(on_deep_change_s, "on-deep-change*")    \
    X(type, "type")                           \
    X(id, "id")                               \
    X(try_, "try")                            \
    X(catch_, "catch")                        \
    X(name, "name")                           \
    X(browse, "browse")                       \
    X(open, "open")                           \
    X(create, "create")                       \
    X(close, "close")                         \
    X(delete_, "delete")                      \
    X(modify, "modify")                       \
    X(query, "query")                         \
    X(read, "read")                           \
    X(rename, "rename")                       \
    X(update, "update")                       \
    X(write, "write")                         \
    X(prescan, "prescan")                     \
    X(scan, "scan")                           \
    X(load, "load")                           \
    X(error, "error")                         \
    X(comment, "comment")                     \
    X(init, "init")                           \
    X(exec, "exec")                           \
    X(call, "call")                           \
    X(return_, "return")                      \
    X(enter, "enter")                         \
    X(exit, "exit")                           \
    X(prolog, "prolog")                       \
    X(epilog, "epilog")                       \
    X(throw_, "throw")                        \
    X(expr, "expr")                           \
    X(interp_callback, "<interp-callback>")   \
    X(lexer_callback, "<lexer-callback>")     \
    X(parse_callback, "<parse-callback>")     \
    X(compare_callback, "<compare-callback>") \
    X(applied, "<applied>")                   \
    X(throw_category, "throw")                \
    X(note, "note")                           \
    X(syntax, "syntax")                       \
    X(script, "script")                       \
    X(math, "math")                           \
    X(access, "access")                       \
    X(user, "user")                           \
    X(internal, "internal")                   \
    X(invalid_error, "invalid-error")         \
    X(local, "local")

namespace kel::words {

#define KEL_ENUM_ENTRY(name, spelling) name,
enum class Sym : uint32_t { KEL_RUNTIME_SYMBOLS(KEL_ENUM_ENTRY) count };
enum class SymWord : uint32_t { KEL_RUNTIME_SYMBOL_WORDS(KEL_ENUM_ENTRY) count };
enum class Word : uint32_t { KEL_RUNTIME_GLOBAL_WORDS(KEL_ENUM_ENTRY) count };
#undef KEL_ENUM_ENTRY
// Group 4: unbound refinements.
enum class Ref : uint32_t { local, extern_, compare, part, skip, with, count };

inline constexpr uint32_t CELL_COUNT = uint32_t(SymWord::count) + uint32_t(Word::count) + uint32_t(Ref::count) + 1;

// Interns groups 1-3, then the refinements and the issue #ooo; later calls
// do nothing. Needs the global context.
void build();

int32_t symbol(Sym s);
const Cell& word(SymWord w);
const Cell& word(Word w);
const Cell& refinement(Ref r);
const Cell& issue_ooo();
// The symbol id of "changed" (payload word 2 of its word cell).
int32_t changed_symbol();
// The fixed block holding the 137 cells (a block! cell of the root block).
NodeId cells();

// The symbol id matches the entry ignoring letter case.
bool is(int32_t symbol_id, Sym s);

}  // namespace kel::words
