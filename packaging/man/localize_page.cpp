// Makes the translated manual pages from the English ones and a gettext
// catalog (.po), the way a translator sees a page: each run of text lines
// (inline font requests included) is one entry, and so is a heading, the tag
// line after .TP and the manual's title in .TH. Requests that only shape the
// page are copied. A page is refused, and nothing is written, when an entry
// has no translation or the catalog holds an entry that no page uses, so
// the two languages cannot part.
//
//   kvtram-localize-page CATALOG.po OUTDIR PAGE...   writes OUTDIR/<name of PAGE>
//   kvtram-localize-page --template PAGE...          a catalog template (.pot) on standard output
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

struct Entry {
  std::string text;
  std::string where;     // page:line of its first line
  std::string section;   // the English heading it stands under
  bool heading = false;  // a heading or the manual's title, set on one line
};

// ---- the catalog ------------------------------------------------------------

// The body of one quoted .po string, escapes resolved; false when malformed.
bool unquote(const std::string& line, std::size_t from, std::string& out) {
  std::size_t open = line.find('"', from);
  std::size_t close = line.rfind('"');
  if (open == std::string::npos || close <= open) return false;
  for (std::size_t i = open + 1; i < close; ++i) {
    char c = line[i];
    if (c != '\\') {
      out += c;
      continue;
    }
    if (++i == close) return false;
    switch (line[i]) {
      case 'n': out += '\n'; break;
      case 't': out += '\t'; break;
      case '"': out += '"'; break;
      case '\\': out += '\\'; break;
      default: return false;
    }
  }
  return true;
}

// msgid -> msgstr of every translated entry; fuzzy and empty ones count as
// untranslated, as gettext has it.
bool readCatalog(const std::string& path, std::map<std::string, std::string>& catalog, std::string& error) {
  std::ifstream in(path);
  if (!in) {
    error = path + ": cannot be read";
    return false;
  }
  std::string line, id, str, context, *target = nullptr;
  bool fuzzy = false, nextFuzzy = false;
  int number = 0;
  auto finish = [&] {
    if (target && !id.empty() && !str.empty() && !fuzzy) catalog[id] = str;
    id.clear();
    str.clear();
    target = nullptr;
  };
  while (std::getline(in, line)) {
    ++number;
    if (line.empty()) continue;
    if (line[0] == '#') {
      if (line.rfind("#,", 0) == 0 && line.find("fuzzy") != std::string::npos) nextFuzzy = true;
      continue;
    }
    std::string* into = nullptr;
    if (line.rfind("msgid ", 0) == 0) {
      finish();
      fuzzy = nextFuzzy;
      nextFuzzy = false;
      into = &id;
    } else if (line.rfind("msgstr ", 0) == 0) {
      into = &str;
    } else if (line.rfind("msgctxt ", 0) == 0) {
      finish();
      context.clear();  // pages have no contexts; read and dropped
      into = &context;
    } else if (line[0] == '"' && target) {
      into = target;
    }
    if (!into || !unquote(line, line[0] == '"' ? 0 : line.find(' '), *into)) {
      error = path + ":" + std::to_string(number) + ": not a catalog line";
      return false;
    }
    target = into;
  }
  finish();
  return true;
}

// ---- the pages --------------------------------------------------------------

// The code point of the UTF-8 sequence at `at`, and its length in `size`.
char32_t decode(const std::string& text, std::size_t at, std::size_t& size) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(at);
  size = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
  if (at + size > text.size()) size = text.size() - at;
  if (size == 1) return lead;
  char32_t c = lead & (0x3F >> (size - 1));
  for (std::size_t k = 1; k < size; ++k) c = (c << 6) | (byte(at + k) & 0x3F);
  return c;
}

bool isWide(char32_t c) { return (c >= 0x3000 && c <= 0x9FFF) || (c >= 0xFF00 && c <= 0xFFEF); }

// Japanese lines may break between any two characters, but groff breaks
// only at spaces: a break point (\:) goes between two wide characters,
// except before the marks that may not begin a line and after the opening
// brackets; and a text line that ends in a wide character runs on into the
// next one (\c) instead of gaining a space there.
std::string addBreakPoints(const std::string& text) {
  static const std::u32string noLineStart = U"、。，．）」』】〕・ーぁぃぅぇぉっゃゅょゎァィゥェォッャュョヮ々";
  static const std::u32string noLineEnd = U"（「『【〔";
  std::string out;
  char32_t previous = 0;
  for (std::size_t at = 0, size = 0; at < text.size(); at += size) {
    const char32_t c = decode(text, at, size);
    const bool textFollows = at + 1 < text.size() && text[at + 1] != '.' && text[at + 1] != '\'';
    if (c == '\n' && isWide(previous) && textFollows) out += "\\c";
    if (isWide(previous) && isWide(c) && noLineStart.find(c) == std::u32string::npos &&
        noLineEnd.find(previous) == std::u32string::npos) {
      out += "\\:";
    }
    out.append(text, at, size);
    previous = c;
  }
  return out;
}

// Calls `translate` for every entry of the page and returns the page with
// each entry replaced by what it gave.
std::string walkPage(const std::string& page, const std::vector<std::string>& lines,
                     const std::function<std::string(const Entry&)>& translate) {
  static const std::set<std::string> inlineRequests{"B", "I", "BR", "RB", "BI", "IB", "IR", "RI", "SM", "SB"};
  std::string out, run, section;
  int runStart = 0;
  bool tagNext = false;
  auto flush = [&] {
    if (run.empty()) return;
    run.pop_back();
    out += translate({run, page + ":" + std::to_string(runStart), section}) + "\n";
    run.clear();
  };
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    const std::string where = page + ":" + std::to_string(i + 1);
    std::string request;
    if (!line.empty() && (line[0] == '.' || line[0] == '\'')) {
      request = line.substr(1, line.find(' ') == std::string::npos ? std::string::npos : line.find(' ') - 1);
    }
    if (line.empty() || (!request.empty() && !inlineRequests.contains(request))) {
      flush();
      if (request == "SH" || request == "SS") {
        std::string heading = line.substr(std::min(line.size(), request.size() + 2));
        if (heading.size() >= 2 && heading.front() == '"' && heading.back() == '"') {
          heading = heading.substr(1, heading.size() - 2);
        }
        if (request == "SH") section = heading;
        out += "." + request + " " + translate({heading, where, section, true}) + "\n";
      } else if (request == "TH" && line.back() == '"' && line.rfind('"', line.size() - 2) != std::string::npos) {
        std::size_t open = line.rfind('"', line.size() - 2);
        out += line.substr(0, open + 1) +
               translate({line.substr(open + 1, line.size() - open - 2), where, section, true}) + "\"\n";
      } else {
        out += line + "\n";
      }
      tagNext = request == "TP";
      continue;
    }
    if (run.empty()) runStart = static_cast<int>(i + 1);
    run += line + "\n";
    if (tagNext) flush();
    tagNext = false;
  }
  flush();
  return out;
}

bool readLines(const std::string& path, std::vector<std::string>& lines) {
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return static_cast<bool>(in.eof());
}

// One .po string, as gettext's tools write it: a line of the file per line
// of the text.
std::string quote(const std::string& text) {
  std::string out = text.find('\n') == std::string::npos ? "\"" : "\"\"\n\"";
  for (char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c == '\n' ? std::string("\\n\"\n\"") : std::string(1, c);
  }
  return out + "\"";
}

int writeTemplate(const std::vector<std::string>& pages) {
  std::vector<std::string> order;
  std::map<std::string, std::string> references;
  for (const std::string& page : pages) {
    std::vector<std::string> lines;
    if (!readLines(page, lines)) {
      std::cerr << page << ": cannot be read\n";
      return 1;
    }
    const std::string name = std::filesystem::path(page).filename().string();
    walkPage(name, lines, [&](const Entry& e) {
      if (!references.contains(e.text)) order.push_back(e.text);
      references[e.text] += " " + e.where;
      return e.text;
    });
  }
  std::cout << "msgid \"\"\nmsgstr \"\"\n\"Content-Type: text/plain; charset=UTF-8\\n\"\n";
  for (const std::string& text : order) {
    std::cout << "\n#:" << references[text] << "\nmsgid " << quote(text) << "\nmsgstr \"\"\n";
  }
  return 0;
}

int writePages(const std::string& catalogPath, const std::string& folder, const std::vector<std::string>& pages) {
  std::map<std::string, std::string> catalog;
  std::string error;
  if (!readCatalog(catalogPath, catalog, error)) {
    std::cerr << error << "\n";
    return 1;
  }
  std::set<std::string> used;
  std::vector<std::string> missing, texts;
  for (const std::string& page : pages) {
    std::vector<std::string> lines;
    if (!readLines(page, lines)) {
      std::cerr << page << ": cannot be read\n";
      return 1;
    }
    texts.push_back(walkPage(page, lines, [&](const Entry& e) {
      auto found = catalog.find(e.text);
      if (found == catalog.end()) {
        missing.push_back(e.where + ": no translation of\n" + e.text);
        return e.text;
      }
      used.insert(e.text);
      // whatis reads the line under NAME as it stands
      return e.heading || e.section == "NAME" ? found->second : addBreakPoints(found->second);
    }));
    // Lines end where they may, unstretched, as Japanese text is set.
    std::string& text = texts.back();
    const std::size_t title = text.rfind(".TH ", 0) == 0 ? 0 : text.find("\n.TH ");
    if (title != std::string::npos) text.insert(text.find('\n', title + 1) + 1, ".ad l\n");
  }
  for (const auto& [id, str] : catalog) {
    if (!used.contains(id)) missing.push_back(catalogPath + ": no page has\n" + id);
  }
  if (!missing.empty()) {
    for (const std::string& m : missing) std::cerr << m << "\n";
    return 1;
  }
  for (std::size_t i = 0; i < pages.size(); ++i) {
    const std::filesystem::path target = std::filesystem::path(folder) / std::filesystem::path(pages[i]).filename();
    std::ofstream out(target, std::ios::binary);
    out << texts[i];
    if (!out.flush()) {
      std::cerr << target.string() << ": cannot be written\n";
      return 1;
    }
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() >= 2 && args[0] == "--template") return writeTemplate({args.begin() + 1, args.end()});
  if (args.size() >= 3 && args[0][0] != '-') return writePages(args[0], args[1], {args.begin() + 2, args.end()});
  std::cerr << "usage: kvtram-localize-page CATALOG.po OUTDIR PAGE...\n"
               "       kvtram-localize-page --template PAGE... > CATALOG.pot\n";
  return 2;
}
