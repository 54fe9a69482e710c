// Reading, loading and writing large project databases: generated databases of 5,000, 25,000 and
// 50,000 components (each with files, registry values and a shortcut, grouped into features).
// For each: the engine's parse into a tag tree, the same text parsed by expat into a comparable
// tag tree, the load of the tree into the model, and the save of the model back to XML text.
// Goals: our parse within 2x of expat; the whole load linear in the size.
// Prints one table (best of several runs).
#include <expat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "database/sx_main_database.h"
#include "xml/xml_settings.h"
#include "xml/xml_tag.h"

namespace {

using Clock = std::chrono::steady_clock;

double Best(int runs, const std::function<void()>& work) {
  double best = 1e30;
  for (int i = 0; i < runs; ++i) {
    auto start = Clock::now();
    work();
    best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
  }
  return best;
}

// A project database of `components` components, written as authors write it.
std::string GenerateDatabase(int components) {
  std::string xml = "<?xml version=\"1.0\"?>\n<sx2project version=\"2.1\">\n\t<variables>\n";
  xml += "\t\t<var name=\"AppDir\" value=\"%ProgramFiles%\\Example\\\"/>\n\t</variables>\n";
  xml += "\t<components>\n";
  for (int c = 0; c < components; ++c) {
    std::string id = "comp" + std::to_string(c);
    xml += "\t\t<component id=\"" + id + "\" name=\"Component " + std::to_string(c) + "\">\n\t\t\t<files>\n";
    for (int f = 0; f < 2; ++f) {
      std::string file = id + "_" + std::to_string(f) + (f == 0 ? ".dll" : ".dat");
      xml += "\t\t\t\t<file src=\"data\\" + file + "\" dst=\"%AppDir%" + id + "\\" + file + "\"" +
             (f == 0 ? " flags=\"reg_server,shared\"" : "") + "/>\n";
    }
    xml += "\t\t\t</files>\n\t\t\t<registry>\n";
    xml += "\t\t\t\t<reg key=\"HKLM\\Software\\Example\\" + id + "\" param=\"Path\" value=\"%AppDir%" + id +
           "\"/>\n";
    xml += "\t\t\t</registry>\n\t\t\t<shortcuts>\n";
    xml += "\t\t\t\t<shortcut name=\"" + id + "\" cmdline=\"%AppDir%" + id + "\\" + id +
           "_0.dll\" showcmd=\"max\"/>\n";
    xml += "\t\t\t</shortcuts>\n\t\t</component>\n";
  }
  xml += "\t</components>\n\t<features>\n";
  for (int c = 0; c < components; c += 10) {
    xml += "\t\t<feature id=\"feat" + std::to_string(c / 10) + "\" name=\"Feature\">\n\t\t\t<components>\n";
    for (int k = c; k < std::min(components, c + 10); ++k)
      xml += "\t\t\t\t<component id=\"comp" + std::to_string(k) + "\"/>\n";
    xml += "\t\t\t</components>\n\t\t</feature>\n";
  }
  xml += "\t</features>\n</sx2project>\n";
  return xml;
}

// Builds the same kind of tree as the engine's reader (elements with lower-case names and
// "name=value" attributes, a text node at every tag boundary) from expat's callbacks.
class ExpatTreeBuilder {
 public:
  std::unique_ptr<sx::TXMLTag> Parse(const std::string& text) {
    root_ = std::make_unique<sx::TXMLTag>();
    open_ = nullptr;
    XML_Parser parser = XML_ParserCreate(nullptr);
    XML_SetUserData(parser, this);
    XML_SetElementHandler(parser, &Start, &End);
    XML_SetCharacterDataHandler(parser, &Characters);
    bool ok = XML_Parse(parser, text.data(), static_cast<int>(text.size()), 1) != XML_STATUS_ERROR;
    XML_ParserFree(parser);
    if (!ok) std::fprintf(stderr, "expat rejected the generated document\n");
    return std::move(root_);
  }

 private:
  void FlushText() {
    if (open_) open_->Children.AddNew(sx::xkText).Text = text_;
    text_.clear();
  }
  static void Start(void* data, const XML_Char* name, const XML_Char** attributes) {
    auto* self = static_cast<ExpatTreeBuilder*>(data);
    self->FlushText();
    sx::TXMLTag* tag = self->open_ ? &self->open_->Children.AddNew() : self->root_.get();
    tag->SetName(name);
    for (const XML_Char** a = attributes; *a; a += 2) tag->Attributes.push_back(std::string(a[0]) + "=" + a[1]);
    self->open_ = tag;
  }
  static void End(void* data, const XML_Char*) {
    auto* self = static_cast<ExpatTreeBuilder*>(data);
    self->FlushText();
    self->open_ = self->open_->Parent();
  }
  static void Characters(void* data, const XML_Char* chars, int length) {
    static_cast<ExpatTreeBuilder*>(data)->text_.append(chars, static_cast<std::size_t>(length));
  }

  std::unique_ptr<sx::TXMLTag> root_;
  sx::TXMLTag* open_ = nullptr;
  std::string text_;
};

}  // namespace

int main() {
  sx::XMLSettings().PreserveAttributeWhitespace = true;  // the engine's setting
  std::printf("%10s %8s %10s %10s %7s %10s %10s %12s %14s\n", "components", "MB", "parse ms",
              "expat ms", "ratio", "load ms", "save ms", "parse+load", "us/component");
  for (int components : {5000, 25000, 50000}) {
    std::string xml = GenerateDatabase(components);
    const int runs = components >= 50000 ? 3 : 5;

    double parse = Best(runs, [&] {
      sx::TXMLTag tag;
      tag.Parse(xml);
    });
    double expat = Best(runs, [&] { ExpatTreeBuilder().Parse(xml); });

    sx::TXMLTag tag;
    tag.Parse(xml);
    double load = Best(runs, [&] {
      sx::TsxMainDatabase database;
      database.Assign(tag);
    });

    sx::TsxMainDatabase database;
    database.Assign(tag);
    if (database.Components->Count() != components) std::fprintf(stderr, "load lost components\n");
    std::size_t written = 0;
    double save = Best(runs, [&] { written = database.SaveToString("sx2project").size(); });
    (void)written;

    std::printf("%10d %8.1f %10.1f %10.1f %7.2f %10.1f %10.1f %12.1f %14.2f\n", components,
                xml.size() / 1e6, parse * 1e3, expat * 1e3, parse / expat, load * 1e3, save * 1e3,
                (parse + load) * 1e3, (parse + load) * 1e6 / components);
  }
  return 0;
}
