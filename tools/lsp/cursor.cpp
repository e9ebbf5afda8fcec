#include "lsp/cursor.hpp"

#include <algorithm>

namespace tarnwick::lsp {

namespace {

constexpr std::size_t npos = std::string_view::npos;

bool blank_char(char c) {
  return c == ' ' || c == '\t';
}

// One line as block structure sees it: item dashes, then a key and its value, or a text alone.
struct Line {
  std::size_t indent = npos;        // column of the first dash, key or text; npos: none there
  std::vector<std::size_t> dashes;  // columns of the item dashes, left to right
  bool has_key = false;
  std::size_t key_col = 0, key_end = 0, colon = 0;  // the key as written, quotes included
  std::string key;                                  // unquoted
  std::size_t value_col = 0, value_end = 0;         // the key's value, or the text alone
  std::size_t comment = npos;

  bool blank() const { return indent == npos; }
  bool has_value() const { return value_col < value_end; }
  std::string_view value(std::string_view s) const {
    return s.substr(value_col, value_end - value_col);
  }
};

// Just past a quoted scalar's closing quote; the line's end when it is not closed there.
std::size_t quoted_end(std::string_view s, std::size_t i) {
  const char q = s[i];
  for (std::size_t j = i + 1; j < s.size(); ++j) {
    if (q == '"' && s[j] == '\\') {
      ++j;
    } else if (s[j] == q) {
      if (q == '\'' && j + 1 < s.size() && s[j + 1] == '\'') {
        ++j;
      } else {
        return j + 1;
      }
    }
  }
  return s.size();
}

bool quoted(std::string_view t) {
  return !t.empty() && (t[0] == '"' || t[0] == '\'');
}

// A scalar's text without its quotes; an escape stands for the character it escapes, which is
// exact for the quotes and backslashes that keys and ids hold.
std::string unquote(std::string_view t) {
  if (!quoted(t)) return std::string(t);
  const char q = t[0];
  t.remove_prefix(1);
  if (!t.empty() && t.back() == q) t.remove_suffix(1);
  std::string out;
  for (std::size_t i = 0; i < t.size(); ++i) {
    if ((q == '\'' && t[i] == '\'') || (q == '"' && t[i] == '\\')) ++i;
    if (i < t.size()) out += t[i];
  }
  return out;
}

// Where a text starting at i ends: before a comment (a '#' after a blank, outside quotes) and
// before trailing blanks. Records the comment's column.
std::size_t text_end(std::string_view s, std::size_t i, std::size_t& comment) {
  std::size_t j = i < s.size() && quoted(s.substr(i)) ? quoted_end(s, i) : i;
  for (; j < s.size(); ++j) {
    if (s[j] == '#' && (j == 0 || blank_char(s[j - 1]))) {
      comment = j;
      break;
    }
  }
  std::size_t end = std::min(j, s.size());
  while (end > i && blank_char(s[end - 1])) --end;
  return end;
}

bool colon_at(std::string_view s, std::size_t j) {
  return j < s.size() && s[j] == ':' && (j + 1 == s.size() || blank_char(s[j + 1]));
}

// The key written at i, if any: sets its end and colon.
bool find_key(std::string_view s, std::size_t i, Line& l) {
  if (quoted(s.substr(i))) {
    const std::size_t q = quoted_end(s, i);
    std::size_t j = q;
    while (j < s.size() && blank_char(s[j])) ++j;
    if (!colon_at(s, j)) return false;
    l.key_end = q;
    l.colon = j;
    return true;
  }
  if (s[i] == '[' || s[i] == '{') return false;  // a flow collection
  for (std::size_t j = i; j < s.size(); ++j) {
    if (s[j] == '#' && j > i && blank_char(s[j - 1])) return false;
    if (colon_at(s, j)) {
      l.colon = j;
      while (j > i && blank_char(s[j - 1])) --j;
      l.key_end = j;
      return true;
    }
  }
  return false;
}

Line parse(std::string_view s) {
  Line l;
  std::size_t i = 0;
  while (i < s.size() && blank_char(s[i])) ++i;
  const bool marker =
      (s.starts_with("---") || s.starts_with("...")) && (s.size() == 3 || blank_char(s[3]));
  if (i == s.size() || marker || s[0] == '%') return l;
  if (s[i] == '#') {
    l.comment = i;
    return l;
  }
  l.indent = i;
  while (i < s.size() && s[i] == '-' && (i + 1 == s.size() || blank_char(s[i + 1]))) {
    l.dashes.push_back(i++);
    while (i < s.size() && blank_char(s[i])) ++i;
  }
  if (i == s.size()) return l;
  if (s[i] == '#') {
    l.comment = i;
    return l;
  }
  std::size_t v = i;
  if (find_key(s, i, l)) {
    l.has_key = true;
    l.key_col = i;
    l.key = unquote(s.substr(i, l.key_end - i));
    for (v = l.colon + 1; v < s.size() && blank_char(s[v]);) ++v;
  }
  l.value_col = v;
  l.value_end = text_end(s, v, l.comment);
  return l;
}

bool block_indicator(std::string_view v) {
  return !v.empty() && (v[0] == '|' || v[0] == '>');
}

struct Walk {
  std::vector<Step> steps;
  bool in_block_scalar = false;
};

// The steps to whatever is at column x of line n (the line's dashes left of x count): going up,
// each key or dash left of the last one found holds it. A key at the column of the item below it
// holds an indentless sequence.
Walk ancestors(const LineIndex& doc, std::size_t n, std::size_t x, const Line& own) {
  Walk w;
  std::size_t limit = x;
  bool last_item = false;
  auto climb = [&](const Line& l, std::string_view s, std::size_t line) {
    if (l.has_key && (l.key_col < limit || (l.key_col == limit && last_item && !l.has_value()))) {
      if (block_indicator(l.value(s))) w.in_block_scalar = true;
      w.steps.push_back({l.key, false, line, l.key_col});
      limit = l.key_col;
      last_item = false;
    }
    for (auto d = l.dashes.rbegin(); d != l.dashes.rend(); ++d) {
      if (*d >= limit) continue;
      w.steps.push_back({"", true, line, *d});
      limit = *d;
      last_item = true;
    }
  };
  climb(own, doc.line(n), n);
  for (std::size_t i = n; i-- > 0 && (limit > 0 || last_item);) {
    const std::string_view s = doc.line(i);
    const Line l = parse(s);
    if (!l.blank() && l.indent <= limit) climb(l, s, i);
  }
  std::reverse(w.steps.begin(), w.steps.end());
  return w;
}

// The keys written at column x in the mapping that holds column x of line n, line n's own
// excepted. Lines starting with a dash at x belong to an indentless sequence of a sibling.
std::vector<std::string> keys_beside(const LineIndex& doc, std::size_t n, std::size_t x) {
  std::vector<std::string> keys;
  const Line own = parse(doc.line(n));
  if (own.blank() || own.indent >= x) {  // else the mapping starts on line n, after a dash
    for (std::size_t i = n; i-- > 0;) {
      const Line l = parse(doc.line(i));
      if (l.blank() || l.indent > x) continue;
      if (l.has_key && l.key_col == x) keys.push_back(l.key);
      if (l.indent < x) break;
    }
  }
  for (std::size_t i = n + 1; i < doc.line_count(); ++i) {
    const Line l = parse(doc.line(i));
    if (l.blank() || l.indent > x) continue;
    if (l.indent < x) break;
    if (l.has_key && l.key_col == x) keys.push_back(l.key);
  }
  return keys;
}

// The texts of the other scalar items of the list whose dashes are at column d.
void items_beside(const LineIndex& doc, std::size_t n, std::size_t d,
                  std::vector<std::string>& out) {
  auto visit = [&](std::size_t i) {
    const std::string_view s = doc.line(i);
    const Line l = parse(s);
    if (l.blank() || l.indent > d) return true;
    if (l.indent < d || l.dashes.empty() || l.dashes[0] != d) return false;
    if (l.dashes.size() == 1 && !l.has_key && l.has_value()) out.push_back(unquote(l.value(s)));
    return true;
  };
  for (std::size_t i = n; i-- > 0 && visit(i);) {
  }
  for (std::size_t i = n + 1; i < doc.line_count() && visit(i); ++i) {
  }
}

struct FlowItem {
  std::size_t start = 0, end = 0;  // the item's text, trimmed
  std::vector<std::string> others;
};

// The item around column c of the one-line flow list opening at `open`; nullopt past its end.
std::optional<FlowItem> flow_item(std::string_view s, std::size_t open, std::size_t c) {
  FlowItem found;
  bool seen = false;
  std::size_t a = open + 1;
  for (std::size_t j = a;; ++j) {
    if (j < s.size() && quoted(s.substr(j))) j = quoted_end(s, j);
    const bool closes = j >= s.size() || s[j] == ']' || (s[j] == '#' && blank_char(s[j - 1]));
    if (!closes && s[j] != ',') continue;
    std::size_t start = a, end = std::min(j, s.size());
    while (start < end && blank_char(s[start])) ++start;
    while (end > start && blank_char(s[end - 1])) --end;
    if (!seen && c >= a && c <= j) {
      seen = true;
      found.start = start < end ? start : c;
      found.end = start < end ? end : c;
    } else if (start < end) {
      found.others.push_back(unquote(s.substr(start, end - start)));
    }
    if (closes) break;
    a = j + 1;
  }
  if (!seen) return std::nullopt;
  return found;
}

}  // namespace

namespace {

// Fills what the cursor at byte column c of line n holds, the line being parsed as l.
class Locator {
 public:
  Locator(const LineIndex& doc, std::size_t n, const Line& l, Cursor& cur)
      : doc_(doc), n_(n), s_(doc.line(n)), l_(l), cur_(cur), start_(doc.offset({to32(n), 0})) {}

  // Bare: on a text alone, or where one would be typed (column x, word [a, b)).
  void bare(std::size_t x, std::size_t a, std::size_t b) {
    if (!path_to(x)) return;
    cur_.spot = Spot::Bare;
    set_word(a, b);
    cur_.present = keys_beside(doc_, n_, x);
    if (!l_.dashes.empty() && !l_.has_key) items_beside(doc_, n_, l_.dashes.back(), cur_.present);
  }

  void dash(std::size_t d) {
    if (!path_to(d)) return;
    cur_.path.push_back({"", true, n_, d});
    cur_.spot = Spot::Dash;
    set_word(d, d + 1);
  }

  void key() {
    if (!path_to(l_.key_col)) return;
    cur_.spot = Spot::Key;
    set_word(l_.key_col, l_.key_end);
    cur_.present = keys_beside(doc_, n_, l_.key_col);
  }

  void value(std::size_t c) {
    const std::string_view v = l_.value(s_);
    if (!path_to(l_.key_col) || block_indicator(v) || v.starts_with("{")) return;
    cur_.path.push_back({l_.key, false, n_, l_.key_col});
    if (v.starts_with("[")) {
      const auto item = flow_item(s_, l_.value_col, c);
      if (!item) return;
      cur_.path.push_back({"", true, n_, l_.value_col});
      cur_.present = item->others;
      set_word(item->start, item->end);
    } else if (l_.has_value()) {
      set_word(l_.value_col, l_.value_end);
    } else {
      set_word(c, c);
    }
    cur_.spot = Spot::Value;
  }

 private:
  static std::uint32_t to32(std::size_t v) { return static_cast<std::uint32_t>(v); }

  bool path_to(std::size_t x) {
    Walk w = ancestors(doc_, n_, x, l_);
    if (w.in_block_scalar) return false;
    cur_.path = std::move(w.steps);
    return true;
  }

  void set_word(std::size_t a, std::size_t b) {
    cur_.word = {doc_.position(start_ + a), doc_.position(start_ + b)};
    cur_.text = unquote(s_.substr(a, b - a));
  }

  const LineIndex& doc_;
  std::size_t n_;
  std::string_view s_;
  const Line& l_;
  Cursor& cur_;
  std::size_t start_;
};

}  // namespace

Cursor cursor_at(const LineIndex& doc, Position at) {
  Cursor cur;
  if (at.line >= doc.line_count()) return cur;
  const std::size_t n = at.line;
  const Line l = parse(doc.line(n));
  std::size_t c = doc.offset(at) - doc.offset({at.line, 0});
  if (l.comment != npos && c > l.comment) return cur;
  Locator locate(doc, n, l, cur);
  if (l.blank()) {
    locate.bare(c, c, c);
    return cur;
  }
  c = std::max(c, l.indent);
  // What follows the dashes: a key, a text, or nothing yet.
  const std::size_t content = l.has_key ? l.key_col : l.has_value() ? l.value_col : npos;
  if (!l.dashes.empty() && (content != npos ? c < content : c <= l.dashes.back() + 1)) {
    std::size_t d = l.dashes.front();
    for (std::size_t x : l.dashes) {
      if (x <= c) d = x;
    }
    locate.dash(d);
  } else if (content == npos) {
    locate.bare(c, c, c);  // after `- `: an item being typed
  } else if (!l.has_key) {
    const char first = doc.line(n)[l.value_col];
    if (first != '[' && first != '{') locate.bare(l.value_col, l.value_col, l.value_end);
  } else if (c <= l.colon) {
    locate.key();
  } else {
    locate.value(c);
  }
  return cur;
}

std::optional<std::string> item_value(const LineIndex& doc, const Step& item,
                                      std::string_view key) {
  const std::size_t d = item.column;
  std::size_t kc = npos;  // the column of the item's keys
  for (std::size_t n = item.line; n < doc.line_count(); ++n) {
    const std::string_view s = doc.line(n);
    const Line l = parse(s);
    if (n == item.line) {
      if (l.dashes.empty() || l.dashes.back() != d) return std::nullopt;  // not a mapping item
      if (l.has_key) kc = l.key_col;
    } else if (l.blank() || l.indent > kc) {
      continue;
    } else if (l.indent <= d) {
      break;
    } else if (kc == npos) {
      kc = l.indent;
    }
    if (l.has_key && l.key_col == kc && l.key == key) {
      if (!l.has_value() || block_indicator(l.value(s))) return std::nullopt;
      return unquote(l.value(s));
    }
  }
  return std::nullopt;
}

}  // namespace tarnwick::lsp
