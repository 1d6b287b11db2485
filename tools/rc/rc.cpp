// ce_rc: compiles a resource script into a C++ source that registers the resources with ce_gdi.
//
//   ce_rc -o out.cpp [-d out.d] [-I dir]... script.rc
//
// The script is the subset of the Windows resource language that Windows CE programs use, so the
// same file builds a Windows .res:
//   #include "header.h" (its #defines are read), #include <...> (ignored), #define, #undef,
//   #if/#ifdef/#ifndef/#elif/#else/#endif, #pragma (ignored), // and /* */ comments;
//   LANGUAGE primary, sub
//   STRINGTABLE [options] BEGIN id [,] "text" ... END
//   name ICON [options] "file.ico"          name BITMAP [options] "file.bmp"
//   name TYPE [options] "file"              name TYPE [options] BEGIN data, ... END
// where a name or type is a number, a #defined number, or a word, data items are numbers (16-bit;
// 32-bit with an L suffix) and strings ("bytes", L"UTF-16"), and BEGIN/END may be braces.
// Files are looked up beside the script, then in the -I folders. Anything else is an error that
// names the file and line: a resource the program needs must never go missing quietly.
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

std::string failure;  // the first error; every step then unwinds with false

bool Error(const std::string& where, const std::string& what) {
  if (failure.empty()) failure = where + ": error: " + what;
  return false;
}

bool ReadFile(const std::string& path, std::string* out) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  out->clear();
  char buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out->append(buf, n);
  bool ok = !std::ferror(f);
  std::fclose(f);
  return ok;
}

std::string DirOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

bool Exists(const std::string& path) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  std::fclose(f);
  return true;
}

// ---- Tokens ----------------------------------------------------------------------------------

enum class Tok { End, Word, Number, String, WideString, Punct };

struct Token {
  Tok kind = Tok::End;
  std::string text;     // word, punctuation, or the string's UTF-8 bytes
  long long value = 0;  // numbers
  bool isLong = false;  // number with an L suffix
  std::string where;    // file:line
};

// Script text after preprocessing, each line tagged with where it came from.
struct Line {
  std::string text;
  std::string where;
};

struct Preprocessor {
  std::map<std::string, std::string> defines;
  std::vector<std::string> includeDirs;
  std::set<std::string> dependencies;

  std::string Resolve(const std::string& name, const std::string& fromDir) const {
    if (!name.empty() && name[0] == '/') return Exists(name) ? name : std::string();
    std::string candidate = fromDir + "/" + name;
    if (Exists(candidate)) return candidate;
    for (const std::string& dir : includeDirs) {
      candidate = dir + "/" + name;
      if (Exists(candidate)) return candidate;
    }
    return std::string();
  }

  // Removes comments (keeping line breaks) and joins lines continued with a backslash.
  static std::string StripComments(const std::string& in) {
    std::string out;
    bool inString = false;
    for (size_t i = 0; i < in.size(); ++i) {
      char c = in[i];
      if (inString) {
        out += c;
        if (c == '\\' && i + 1 < in.size()) out += in[++i];
        else if (c == '"') inString = false;
        continue;
      }
      if (c == '"') {
        inString = true;
        out += c;
      } else if (c == '/' && i + 1 < in.size() && in[i + 1] == '/') {
        while (i < in.size() && in[i] != '\n') ++i;
        if (i < in.size()) out += '\n';
      } else if (c == '/' && i + 1 < in.size() && in[i + 1] == '*') {
        i += 2;
        while (i + 1 < in.size() && !(in[i] == '*' && in[i + 1] == '/')) {
          if (in[i] == '\n') out += '\n';
          ++i;
        }
        ++i;
        out += ' ';
      } else if (c == '\r') {
        // CR LF and CR alone end lines like LF
        if (i + 1 >= in.size() || in[i + 1] != '\n') out += '\n';
      } else if (c == '\n') {
        inString = false;
        out += c;
      } else {
        out += c;
      }
    }
    return out;
  }

  // Value of a #if expression or a #defined number: defined(X), numbers, macros, and C's
  // operators ! ~ - + * / % << >> < > <= >= == != & | && || with parentheses.
  struct Expr {
    const Preprocessor* pp;
    const std::string& s;
    size_t i = 0;
    bool ok = true;
    int depth = 0;
    void Space() {
      while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i]))) ++i;
    }
    // Takes `op` unless it is the start of a longer operator in `longer`.
    bool Eat(const char* op, const char* longer = nullptr) {
      Space();
      size_t n = std::strlen(op);
      if (s.compare(i, n, op) != 0) return false;
      if (longer && i + n < s.size() && std::strchr(longer, s[i + n])) return false;
      i += n;
      return true;
    }
    long long Primary() {
      Space();
      if (!ok) return 0;
      if (Eat("(")) {
        long long v = Or();
        if (!Eat(")")) ok = false;
        return v;
      }
      if (Eat("!", "=")) return !Primary();
      if (Eat("~")) return ~Primary();
      if (Eat("-")) return -Primary();
      if (Eat("+")) return Primary();
      if (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) {
        char* end;
        long long v = std::strtoll(s.c_str() + i, &end, 0);
        i = static_cast<size_t>(end - s.c_str());
        while (i < s.size() && std::strchr("LlUu", s[i])) ++i;
        return v;
      }
      size_t start = i;
      while (i < s.size() && (std::isalnum(static_cast<unsigned char>(s[i])) || s[i] == '_')) ++i;
      std::string word = s.substr(start, i - start);
      if (word.empty()) {
        ok = false;
        return 0;
      }
      if (word == "defined") {
        bool paren = Eat("(");
        Space();
        size_t st = i;
        while (i < s.size() && (std::isalnum(static_cast<unsigned char>(s[i])) || s[i] == '_')) ++i;
        std::string name = s.substr(st, i - st);
        if (paren && !Eat(")")) ok = false;
        return pp->defines.count(name) ? 1 : 0;
      }
      auto it = pp->defines.find(word);
      if (it == pp->defines.end()) return 0;
      if (depth >= 64) {  // a macro defined in terms of itself
        ok = false;
        return 0;
      }
      Expr inner{pp, it->second};
      inner.depth = depth + 1;
      long long v = inner.Or();
      inner.Space();
      if (!inner.ok || inner.i != it->second.size()) ok = false;
      return v;
    }
    long long Mul() {
      long long v = Primary();
      for (;;) {
        if (Eat("*")) {
          v *= Primary();
        } else if (Eat("/") || Eat("%")) {
          bool divide = s[i - 1] == '/';
          long long r = Primary();
          if (r == 0) {
            ok = false;
            return 0;
          }
          v = divide ? v / r : v % r;
        } else {
          return v;
        }
      }
    }
    long long Add() {
      long long v = Mul();
      for (;;) {
        if (Eat("+")) v += Mul();
        else if (Eat("-")) v -= Mul();
        else return v;
      }
    }
    long long Shift() {
      long long v = Add();
      for (;;) {
        if (Eat("<<")) v = static_cast<long long>(static_cast<unsigned long long>(v) << (Add() & 63));
        else if (Eat(">>")) v >>= (Add() & 63);
        else return v;
      }
    }
    long long Compare() {
      long long v = Shift();
      for (;;) {
        if (Eat("==")) v = v == Shift();
        else if (Eat("!=")) v = v != Shift();
        else if (Eat("<=")) v = v <= Shift();
        else if (Eat(">=")) v = v >= Shift();
        else if (Eat("<", "<")) v = v < Shift();
        else if (Eat(">", ">")) v = v > Shift();
        else return v;
      }
    }
    long long BitAnd() {
      long long v = Compare();
      while (Eat("&", "&")) v &= Compare();
      return v;
    }
    long long BitOr() {
      long long v = BitAnd();
      while (Eat("|", "|")) v |= BitAnd();
      return v;
    }
    long long And() {
      long long v = BitOr();
      while (Eat("&&")) {
        long long r = BitOr();
        v = v && r;
      }
      return v;
    }
    long long Or() {
      long long v = And();
      while (Eat("||")) {
        long long r = And();
        v = v || r;
      }
      return v;
    }
  };

  bool Run(const std::string& path, std::vector<Line>* lines, bool keepLines, int depth) {
    if (depth > 16) return Error(path, "#include nested too deeply");
    std::string raw;
    if (!ReadFile(path, &raw)) return Error(path, "cannot read the file");
    dependencies.insert(path);
    std::string text = StripComments(raw);
    std::string dir = DirOf(path);
    // Conditional stack: whether the current block is taken, and whether any branch was taken.
    struct Cond {
      bool active;
      bool taken;
      bool parentActive;
    };
    std::vector<Cond> conds;
    auto active = [&] { return conds.empty() || conds.back().active; };
    size_t pos = 0;
    int lineNo = 0;
    std::string pending;  // a line continued with a backslash
    while (pos <= text.size()) {
      size_t nl = text.find('\n', pos);
      if (nl == std::string::npos) nl = text.size();
      std::string line = text.substr(pos, nl - pos);
      pos = nl + 1;
      ++lineNo;
      std::string where = path + ":" + std::to_string(lineNo);
      if (!line.empty() && line.back() == '\\') {
        pending += line.substr(0, line.size() - 1);
        continue;
      }
      line = pending + line;
      pending.clear();
      size_t first = line.find_first_not_of(" \t");
      if (first != std::string::npos && line[first] == '#') {
        std::string rest = line.substr(first + 1);
        size_t a = rest.find_first_not_of(" \t");
        rest = a == std::string::npos ? std::string() : rest.substr(a);
        size_t b = 0;
        while (b < rest.size() && std::isalpha(static_cast<unsigned char>(rest[b]))) ++b;
        std::string directive = rest.substr(0, b);
        std::string arg = rest.substr(b);
        size_t c = arg.find_first_not_of(" \t");
        arg = c == std::string::npos ? std::string() : arg.substr(c);
        while (!arg.empty() && std::isspace(static_cast<unsigned char>(arg.back()))) arg.pop_back();
        if (directive == "if" || directive == "ifdef" || directive == "ifndef") {
          bool value = false;
          if (active()) {
            if (directive == "if") {
              Expr e{this, arg};
              value = e.Or() != 0;
              e.Space();
              if (!e.ok || e.i != arg.size()) return Error(where, "cannot read the #if expression \"" + arg + "\"");
            } else {
              value = defines.count(arg) != 0;
              if (directive == "ifndef") value = !value;
            }
          }
          bool parent = active();
          conds.push_back({parent && value, parent && value, parent});
        } else if (directive == "elif") {
          if (conds.empty()) return Error(where, "#elif without #if");
          Cond& cd = conds.back();
          bool value = false;
          if (cd.parentActive && !cd.taken) {
            Expr e{this, arg};
            value = e.Or() != 0;
            if (!e.ok) return Error(where, "cannot read the #elif expression \"" + arg + "\"");
          }
          cd.active = cd.parentActive && !cd.taken && value;
          cd.taken = cd.taken || cd.active;
        } else if (directive == "else") {
          if (conds.empty()) return Error(where, "#else without #if");
          Cond& cd = conds.back();
          cd.active = cd.parentActive && !cd.taken;
          cd.taken = true;
        } else if (directive == "endif") {
          if (conds.empty()) return Error(where, "#endif without #if");
          conds.pop_back();
        } else if (!active()) {
          // skipped
        } else if (directive == "define") {
          size_t e = 0;
          while (e < arg.size() && (std::isalnum(static_cast<unsigned char>(arg[e])) || arg[e] == '_')) ++e;
          if (e == 0) return Error(where, "#define without a name");
          if (e < arg.size() && arg[e] == '(') return Error(where, "macros with arguments are not supported");
          std::string value = arg.substr(e);
          size_t v = value.find_first_not_of(" \t");
          defines[arg.substr(0, e)] = v == std::string::npos ? std::string() : value.substr(v);
        } else if (directive == "undef") {
          defines.erase(arg);
        } else if (directive == "include") {
          if (!arg.empty() && arg[0] == '<') continue;  // system headers belong to Windows builds
          if (arg.size() < 2 || arg[0] != '"' || arg.back() != '"') return Error(where, "bad #include");
          std::string name = arg.substr(1, arg.size() - 2);
          std::string found = Resolve(name, dir);
          if (found.empty()) return Error(where, "cannot find the included file \"" + name + "\"");
          // Headers give only their #defines; their other lines are C, not resource script.
          std::vector<Line> ignored;
          if (!Run(found, &ignored, false, depth + 1)) return false;
        } else if (directive == "pragma" || directive == "error" || directive == "line") {
          if (directive == "error") return Error(where, "#error " + arg);
        } else {
          return Error(where, "unknown directive #" + directive);
        }
        continue;
      }
      if (active() && keepLines) lines->push_back({line, where});
    }
    if (!conds.empty()) return Error(path, "#if without #endif");
    return true;
  }
};

// Appends the UTF-8 encoding of a code point.
void PutUtf8(std::string* out, uint32_t c) {
  if (c < 0x80) {
    *out += static_cast<char>(c);
  } else if (c < 0x800) {
    *out += static_cast<char>(0xC0 | (c >> 6));
    *out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    *out += static_cast<char>(0xE0 | (c >> 12));
    *out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    *out += static_cast<char>(0xF0 | (c >> 18));
    *out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    *out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// UTF-8 to UTF-16; false for invalid UTF-8.
bool ToUtf16(const std::string& in, std::vector<uint16_t>* out) {
  for (size_t i = 0; i < in.size();) {
    unsigned char c = static_cast<unsigned char>(in[i]);
    uint32_t cp;
    int extra;
    if (c < 0x80) {
      cp = c;
      extra = 0;
    } else if ((c & 0xE0) == 0xC0) {
      cp = c & 0x1F;
      extra = 1;
    } else if ((c & 0xF0) == 0xE0) {
      cp = c & 0x0F;
      extra = 2;
    } else if ((c & 0xF8) == 0xF0) {
      cp = c & 0x07;
      extra = 3;
    } else {
      return false;
    }
    if (i + static_cast<size_t>(extra) >= in.size() && extra > 0) return false;
    for (int k = 1; k <= extra; ++k) {
      unsigned char d = static_cast<unsigned char>(in[i + k]);
      if ((d & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (d & 0x3F);
    }
    i += 1 + extra;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out->push_back(static_cast<uint16_t>(0xD800 + (cp >> 10)));
      out->push_back(static_cast<uint16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out->push_back(static_cast<uint16_t>(cp));
    }
  }
  return true;
}

class Lexer {
 public:
  Lexer(const std::vector<Line>& lines, const Preprocessor& pp) : lines_(lines), pp_(pp) {}

  bool Next(Token* t) {
    if (!peeked_.empty()) {
      *t = peeked_.back();
      peeked_.pop_back();
      return true;
    }
    return Scan(t);
  }
  bool Peek(Token* t) {
    if (peeked_.empty()) {
      Token tok;
      if (!Scan(&tok)) return false;
      peeked_.push_back(tok);
    }
    *t = peeked_.back();
    return true;
  }
  void PushBack(const Token& t) { peeked_.push_back(t); }
  std::string Where() const {
    return line_ < lines_.size() ? lines_[line_].where : (lines_.empty() ? "script" : lines_.back().where);
  }

 private:
  bool Scan(Token* t) {
    *t = Token{};
    for (;;) {
      if (line_ >= lines_.size()) {
        t->kind = Tok::End;
        t->where = Where();
        return true;
      }
      const std::string& s = lines_[line_].text;
      while (col_ < s.size() && std::isspace(static_cast<unsigned char>(s[col_]))) ++col_;
      if (col_ < s.size()) break;
      ++line_;
      col_ = 0;
    }
    const std::string& s = lines_[line_].text;
    t->where = lines_[line_].where;
    char c = s[col_];
    bool wide = (c == 'L' || c == 'l') && col_ + 1 < s.size() && s[col_ + 1] == '"';
    if (c == '"' || wide) {
      if (wide) ++col_;
      ++col_;
      std::string text;
      for (;;) {
        if (col_ >= s.size()) return Error(t->where, "string not closed on its line");
        char d = s[col_++];
        if (d == '"') {
          if (col_ < s.size() && s[col_] == '"') {  // "" is a quote inside the string
            text += '"';
            ++col_;
            continue;
          }
          break;
        }
        if (d != '\\') {
          text += d;
          continue;
        }
        if (col_ >= s.size()) return Error(t->where, "string ends in a backslash");
        char e = s[col_++];
        switch (e) {
          case 'n':
            text += '\n';
            break;
          case 't':
            text += '\t';
            break;
          case 'r':
            text += '\r';
            break;
          case 'a':
            text += '\a';
            break;
          case '\\':
            text += '\\';
            break;
          case '"':
            text += '"';
            break;
          case '\'':
            text += '\'';
            break;
          case 'x':
          case 'X': {
            uint32_t v = 0;
            int digits = 0;
            while (col_ < s.size() && digits < 4 && std::isxdigit(static_cast<unsigned char>(s[col_]))) {
              char h = s[col_++];
              v = v * 16 + static_cast<uint32_t>(std::isdigit(static_cast<unsigned char>(h)) ? h - '0' : (std::tolower(h) - 'a' + 10));
              ++digits;
            }
            if (!digits) return Error(t->where, "\\x without hex digits");
            PutUtf8(&text, v);
            break;
          }
          default:
            if (e >= '0' && e <= '7') {
              uint32_t v = static_cast<uint32_t>(e - '0');
              for (int k = 0; k < 2 && col_ < s.size() && s[col_] >= '0' && s[col_] <= '7'; ++k)
                v = v * 8 + static_cast<uint32_t>(s[col_++] - '0');
              PutUtf8(&text, v);
            } else {
              return Error(t->where, std::string("unknown escape \\") + e);
            }
        }
      }
      t->kind = wide ? Tok::WideString : Tok::String;
      t->text = text;
      return true;
    }
    if (std::isdigit(static_cast<unsigned char>(c))) {
      char* end;
      const char* start = s.c_str() + col_;
      t->value = std::strtoll(start, &end, 0);
      col_ += static_cast<size_t>(end - start);
      while (col_ < s.size() && std::strchr("LlUu", s[col_])) {
        if (s[col_] == 'L' || s[col_] == 'l') t->isLong = true;
        ++col_;
      }
      t->kind = Tok::Number;
      return true;
    }
    if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
      size_t start = col_;
      while (col_ < s.size() && (std::isalnum(static_cast<unsigned char>(s[col_])) || s[col_] == '_')) ++col_;
      std::string word = s.substr(start, col_ - start);
      // A #defined number stands for itself; a word with no definition stays a word (a name).
      auto it = pp_.defines.find(word);
      if (it != pp_.defines.end()) {
        Preprocessor::Expr e{&pp_, it->second};
        long long v = e.Or();
        e.Space();
        if (e.ok && e.i == it->second.size() && !it->second.empty()) {
          t->kind = Tok::Number;
          t->value = v;
          t->isLong = it->second.find_first_of("Ll") != std::string::npos &&
                      it->second.find("0x") == std::string::npos;
          t->text = word;
          return true;
        }
      }
      t->kind = Tok::Word;
      t->text = word;
      return true;
    }
    t->kind = Tok::Punct;
    t->text = std::string(1, c);
    ++col_;
    return true;
  }

  const std::vector<Line>& lines_;
  const Preprocessor& pp_;
  size_t line_ = 0;
  size_t col_ = 0;
  std::vector<Token> peeked_;
};

// ---- Resources -------------------------------------------------------------------------------

struct Resource {
  int typeId = 0;
  std::string typeName;
  int id = 0;
  std::string name;
  int language = 1033;
  std::vector<uint8_t> data;
  bool isString = false;
  std::string where;
};

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

bool IsWord(const Token& t, const char* w) { return t.kind == Tok::Word && Upper(t.text) == w; }

bool IsMemoryOption(const Token& t) {
  static const char* kOptions[] = {"DISCARDABLE", "MOVEABLE", "FIXED", "PURE", "IMPURE",
                                   "PRELOAD", "LOADONCALL", "SHARED", "NONSHARED"};
  for (const char* o : kOptions)
    if (IsWord(t, o)) return true;
  return false;
}

class Compiler {
 public:
  Compiler(Lexer& lex, Preprocessor& pp, const std::string& scriptDir) : lex_(lex), pp_(pp), dir_(scriptDir) {}

  bool Run() {
    for (;;) {
      Token t;
      if (!lex_.Next(&t)) return false;
      if (t.kind == Tok::End) return true;
      if (IsWord(t, "LANGUAGE")) {
        if (!Language()) return false;
      } else if (IsWord(t, "STRINGTABLE")) {
        if (!StringTable()) return false;
      } else if (t.kind == Tok::Word || t.kind == Tok::Number) {
        if (!Statement(t)) return false;
      } else {
        return Error(t.where, "unexpected \"" + t.text + "\"");
      }
    }
  }

  std::vector<Resource> resources;

 private:
  bool Number(long long* v, bool* isLong = nullptr) {
    // A number, optionally negated or combined with | and +.
    Token t;
    if (!lex_.Next(&t)) return false;
    bool negate = false;
    if (t.kind == Tok::Punct && t.text == "-") {
      negate = true;
      if (!lex_.Next(&t)) return false;
    }
    if (t.kind != Tok::Number) return Error(t.where, "expected a number, found \"" + t.text + "\"");
    *v = negate ? -t.value : t.value;
    if (isLong) *isLong = t.isLong;
    for (;;) {
      Token op;
      if (!lex_.Peek(&op)) return false;
      if (op.kind != Tok::Punct || (op.text != "|" && op.text != "+")) return true;
      lex_.Next(&op);
      Token r;
      if (!lex_.Next(&r)) return false;
      if (r.kind != Tok::Number) return Error(r.where, "expected a number after " + op.text);
      *v = op.text == "|" ? (*v | r.value) : (*v + r.value);
      if (isLong && r.isLong) *isLong = true;
    }
  }

  bool Comma() {
    Token t;
    if (!lex_.Peek(&t)) return false;
    if (t.kind == Tok::Punct && t.text == ",") lex_.Next(&t);
    return true;
  }

  bool Language() {
    long long primary, sub;
    if (!Number(&primary)) return false;
    Token t;
    if (!lex_.Next(&t)) return false;
    if (t.kind != Tok::Punct || t.text != ",") return Error(t.where, "LANGUAGE needs two numbers");
    if (!Number(&sub)) return false;
    language_ = static_cast<int>(((sub & 0x3F) << 10) | (primary & 0x3FF));
    return true;
  }

  // Options between a statement's head and its body: memory flags, LANGUAGE, and the
  // CHARACTERISTICS/VERSION numbers, which mean nothing here.
  bool Options(int* language) {
    for (;;) {
      Token t;
      if (!lex_.Peek(&t)) return false;
      if (IsMemoryOption(t)) {
        lex_.Next(&t);
      } else if (IsWord(t, "LANGUAGE")) {
        lex_.Next(&t);
        int saved = language_;
        if (!Language()) return false;
        *language = language_;
        language_ = saved;
      } else if (IsWord(t, "CHARACTERISTICS") || IsWord(t, "VERSION")) {
        lex_.Next(&t);
        long long ignored;
        if (!Number(&ignored)) return false;
      } else {
        return true;
      }
    }
  }

  bool Begin() {
    Token t;
    if (!lex_.Next(&t)) return false;
    if (IsWord(t, "BEGIN") || (t.kind == Tok::Punct && t.text == "{")) return true;
    return Error(t.where, "expected BEGIN or {");
  }
  static bool IsEnd(const Token& t) { return IsWord(t, "END") || (t.kind == Tok::Punct && t.text == "}"); }

  bool StringTable() {
    int language = language_;
    if (!Options(&language) || !Begin()) return false;
    for (;;) {
      Token t;
      if (!lex_.Peek(&t)) return false;
      if (IsEnd(t)) {
        lex_.Next(&t);
        return true;
      }
      if (t.kind == Tok::End) return Error(t.where, "STRINGTABLE without END");
      long long id;
      if (!Number(&id) || !Comma()) return false;
      if (id < 0 || id > 0xFFFF) return Error(t.where, "string id out of range");
      Token s;
      if (!lex_.Next(&s)) return false;
      if (s.kind != Tok::String && s.kind != Tok::WideString) return Error(s.where, "expected the string's text");
      // Adjacent literals join.
      std::string text = s.text;
      for (;;) {
        Token more;
        if (!lex_.Peek(&more)) return false;
        if (more.kind != Tok::String && more.kind != Tok::WideString) break;
        lex_.Next(&more);
        text += more.text;
      }
      std::vector<uint16_t> wide;
      if (!ToUtf16(text, &wide)) return Error(s.where, "the string is not UTF-8");
      for (const Resource& r : resources)
        if (r.isString && r.id == id && r.language == language)
          return Error(s.where, "string " + std::to_string(id) + " defined twice");
      Resource r;
      r.isString = true;
      r.typeId = 6;
      r.id = static_cast<int>(id);
      r.language = language;
      r.where = s.where;
      for (uint16_t w : wide) {
        r.data.push_back(static_cast<uint8_t>(w));
        r.data.push_back(static_cast<uint8_t>(w >> 8));
      }
      resources.push_back(r);
    }
  }

  bool LoadData(const Token& file, std::vector<uint8_t>* out) {
    std::string found = pp_.Resolve(file.text, dir_);
    if (found.empty()) return Error(file.where, "cannot find \"" + file.text + "\"");
    std::string bytes;
    if (!ReadFile(found, &bytes)) return Error(file.where, "cannot read \"" + found + "\"");
    pp_.dependencies.insert(found);
    out->assign(bytes.begin(), bytes.end());
    return true;
  }

  bool Statement(const Token& nameToken) {
    Resource r;
    r.where = nameToken.where;
    r.language = language_;
    if (nameToken.kind == Tok::Number) {
      if (nameToken.value < 1 || nameToken.value > 0xFFFF) return Error(nameToken.where, "resource id out of range");
      r.id = static_cast<int>(nameToken.value);
    } else {
      r.name = Upper(nameToken.text);
    }
    Token type;
    if (!lex_.Next(&type)) return false;
    if (type.kind == Tok::Number) {
      r.typeId = static_cast<int>(type.value);
    } else if (type.kind == Tok::Word) {
      std::string upper = Upper(type.text);
      if (upper == "ICON") {
        r.typeId = 14;
      } else if (upper == "BITMAP") {
        r.typeId = 2;
      } else if (upper == "RCDATA") {
        r.typeId = 10;
      } else if (upper == "CURSOR" || upper == "DIALOG" || upper == "DIALOGEX" || upper == "MENU" ||
                 upper == "MENUEX" || upper == "ACCELERATORS" || upper == "VERSIONINFO" || upper == "FONT" ||
                 upper == "MESSAGETABLE" || upper == "HTML" || upper == "SHMENUBAR") {
        return Error(type.where, upper + " resources are not supported");
      } else {
        r.typeName = upper;
      }
    } else if (type.kind == Tok::String) {
      r.typeName = Upper(type.text);
    } else {
      return Error(type.where, "expected a resource type after \"" + nameToken.text + "\"");
    }
    if (r.typeId < 0 || r.typeId > 0xFFFF) return Error(type.where, "resource type out of range");
    if (!Options(&r.language)) return false;
    Token body;
    if (!lex_.Peek(&body)) return false;
    if (body.kind == Tok::String) {
      lex_.Next(&body);
      if (!LoadData(body, &r.data)) return false;
      if (r.typeId == 2) {
        // Bitmaps are kept as Windows keeps them: the file without its 14-byte file header.
        if (r.data.size() < 54 || r.data[0] != 'B' || r.data[1] != 'M')
          return Error(body.where, "\"" + body.text + "\" is not a .bmp file");
        r.data.erase(r.data.begin(), r.data.begin() + 14);
      } else if (r.typeId == 14) {
        if (r.data.size() < 22 || r.data[0] || r.data[1] || r.data[2] != 1 || r.data[3])
          return Error(body.where, "\"" + body.text + "\" is not an .ico file");
      }
    } else if (r.typeId == 2 || r.typeId == 14) {
      return Error(body.where, "ICON and BITMAP take a file name");
    } else {
      if (!Begin()) return false;
      for (;;) {
        Token t;
        if (!lex_.Peek(&t)) return false;
        if (IsEnd(t)) {
          lex_.Next(&t);
          break;
        }
        if (t.kind == Tok::End) return Error(t.where, "data without END");
        if (t.kind == Tok::String || t.kind == Tok::WideString) {
          lex_.Next(&t);
          if (t.kind == Tok::String) {
            r.data.insert(r.data.end(), t.text.begin(), t.text.end());
          } else {
            std::vector<uint16_t> wide;
            if (!ToUtf16(t.text, &wide)) return Error(t.where, "the string is not UTF-8");
            for (uint16_t w : wide) {
              r.data.push_back(static_cast<uint8_t>(w));
              r.data.push_back(static_cast<uint8_t>(w >> 8));
            }
          }
        } else {
          long long v;
          bool isLong = false;
          if (!Number(&v, &isLong)) return false;
          int bytes = isLong ? 4 : 2;  // data numbers are 16-bit unless marked L
          for (int k = 0; k < bytes; ++k) r.data.push_back(static_cast<uint8_t>(static_cast<unsigned long long>(v) >> (8 * k)));
        }
        if (!Comma()) return false;
      }
    }
    for (const Resource& o : resources)
      if (!o.isString && o.typeId == r.typeId && o.typeName == r.typeName && o.id == r.id && o.name == r.name &&
          o.language == r.language)
        return Error(r.where, "resource defined twice");
    resources.push_back(r);
    return true;
  }

  Lexer& lex_;
  Preprocessor& pp_;
  std::string dir_;
  int language_ = 1033;
};

// ---- Output ----------------------------------------------------------------------------------

std::string CString(const std::string& s) {
  std::string out = "\"";
  for (char c : s) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

std::string Generate(const std::vector<Resource>& resources, const std::string& script) {
  std::string out;
  out += "// Generated by ce_rc from " + script + ". Do not edit: edit the script instead.\n";
  out += "#include \"ce/gdi/resources.h\"\n\nnamespace {\n\n";
  char buf[64];
  for (size_t i = 0; i < resources.size(); ++i) {
    const Resource& r = resources[i];
    if (r.isString) {
      // UTF-16 with a terminating NUL after the counted characters.
      out += "const char16_t kData" + std::to_string(i) + "[] = {";
      for (size_t k = 0; k + 1 < r.data.size(); k += 2) {
        if (k % 24 == 0) out += "\n    ";
        std::snprintf(buf, sizeof buf, "0x%04x, ", r.data[k] | (r.data[k + 1] << 8));
        out += buf;
      }
      out += "0};\n";
    } else if (!r.data.empty()) {
      out += "alignas(4) const unsigned char kData" + std::to_string(i) + "[] = {";
      for (size_t k = 0; k < r.data.size(); ++k) {
        if (k % 16 == 0) out += "\n    ";
        std::snprintf(buf, sizeof buf, "0x%02x,", r.data[k]);
        out += buf;
      }
      out += "\n};\n";
    }
  }
  out += "\nconst ce::gdi::ResourceEntry kEntries[] = {\n";
  for (size_t i = 0; i < resources.size(); ++i) {
    const Resource& r = resources[i];
    std::string data = r.data.empty() && !r.isString ? "nullptr" : "kData" + std::to_string(i);
    out += "    {" + std::to_string(r.typeId) + ", " + (r.typeName.empty() ? "nullptr" : CString(r.typeName)) + ", " +
           std::to_string(r.id) + ", " + (r.name.empty() ? "nullptr" : CString(r.name)) + ", " +
           std::to_string(r.language) + ", " + data + ", " + std::to_string(r.data.size()) + "},  // " + r.where +
           "\n";
  }
  if (resources.empty()) out += "    {0, nullptr, 0, nullptr, 0, nullptr, 0},\n";
  out += "};\n\nce::gdi::ResourceModule module{kEntries, " + std::to_string(resources.size()) + ", nullptr};\n";
  out += "[[maybe_unused]] const bool registered = ce::gdi::RegisterResourceModule(&module);\n\n}  // namespace\n";
  return out;
}

std::string DepEscape(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == ' ' || c == '#' || c == '\\') out += '\\';
    if (c == '$') out += '$';
    out += c;
  }
  return out;
}

// Written whole under a temporary name and renamed, so a failed run never leaves half a file.
bool WriteWhole(const std::string& path, const std::string& content) {
  std::string temp = path + ".tmp";
  FILE* f = std::fopen(temp.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(content.data(), 1, content.size(), f) == content.size();
  ok = (std::fclose(f) == 0) && ok;
  if (!ok || std::rename(temp.c_str(), path.c_str()) != 0) {
    std::remove(temp.c_str());
    return false;
  }
  return true;
}

int Usage() {
  std::fprintf(stderr, "usage: ce_rc -o out.cpp [-d out.d] [-I dir]... [-D NAME[=value]]... script.rc\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string output, depfile, script;
  Preprocessor pp;
  pp.defines["RC_INVOKED"] = "1";
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if ((a == "-o" || a == "-d" || a == "-I" || a == "-D") && i + 1 < argc) {
      std::string v = argv[++i];
      if (a == "-o") output = v;
      if (a == "-d") depfile = v;
      if (a == "-I") pp.includeDirs.push_back(v);
      if (a == "-D") {
        size_t eq = v.find('=');
        pp.defines[v.substr(0, eq)] = eq == std::string::npos ? "1" : v.substr(eq + 1);
      }
    } else if (!a.empty() && a[0] != '-' && script.empty()) {
      script = a;
    } else {
      return Usage();
    }
  }
  if (output.empty() || script.empty()) return Usage();

  std::vector<Line> lines;
  bool ok = pp.Run(script, &lines, true, 0);
  Lexer lexer(lines, pp);
  Compiler compiler(lexer, pp, DirOf(script));
  if (ok) ok = compiler.Run();
  if (!ok) {
    std::fprintf(stderr, "%s\n", failure.empty() ? "ce_rc: failed" : failure.c_str());
    return 1;
  }
  if (!WriteWhole(output, Generate(compiler.resources, script))) {
    std::fprintf(stderr, "%s: error: cannot write the output\n", output.c_str());
    return 1;
  }
  if (!depfile.empty()) {
    std::string deps = DepEscape(output) + ":";
    for (const std::string& d : pp.dependencies) deps += " \\\n  " + DepEscape(d);
    deps += "\n";
    if (!WriteWhole(depfile, deps)) {
      std::fprintf(stderr, "%s: error: cannot write the dependency file\n", depfile.c_str());
      return 1;
    }
  }
  return 0;
}
