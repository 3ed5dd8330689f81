// Every template drawn from hand-built data objects as a well-formed SVG:
// one element per expected layer, every text inside the image and clear of
// every other text (by the layer's own width estimate), texts escaped.
#include "vyn/graphs/draw.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <regex>
#include <sstream>

#include "vyn/graphs/figure.h"
#include "vyn/graphs/svg.h"

namespace vyn::graphs {
namespace {

using output::Cell;
using output::DataObject;

struct ObjectText {
  const char *name, *header;
  std::vector<const char *> rows;
};
struct GraphCase {
  const char *tmpl;
  std::vector<const char *> data;
  const char *dynamics;
  int circles, diamonds, polylines;
  const char *text;
};
#include "draw_fixtures.inc"

std::vector<std::string> words(const char *text) {
  std::istringstream in(text);
  std::vector<std::string> out;
  for (std::string w; in >> w;) out.push_back(std::regex_replace(w, std::regex("~"), " "));
  return out;
}

Cell cell(const std::string &w) {
  char *end = nullptr;
  const double v = std::strtod(w.c_str(), &end);
  if (w == ".") return output::Missing{'.'};
  return *end == 0 ? Cell(v) : Cell(w);
}

std::shared_ptr<const DataObject> object(const ObjectText &t) {
  auto o = std::make_shared<DataObject>();
  o->name = t.name;
  for (const std::string &h : words(t.header)) {
    output::DataColumn c;
    c.column.name = h;
    o->columns.push_back(c);
  }
  for (const char *row : t.rows) {
    const auto cells = words(row);
    for (size_t i = 0; i < o->columns.size(); ++i) o->columns[i].cells.push_back(cell(cells.at(i)));
  }
  return o;
}

output::Graph graph(const GraphCase &c) {
  output::Graph g{"G", std::string("Stat.Kravo.Graphics.") + c.tmpl, "Title", "", "Label", {}, {}};
  for (const std::string &d : words(c.dynamics)) {
    const size_t eq = d.find('=');
    const std::string v = d.substr(eq + 1);
    g.dynamics.push_back({d.substr(0, eq), v[0] == '#'
                                               ? output::DynamicValue(std::stod(v.substr(1)))
                                               : output::DynamicValue(v)});
  }
  for (const char *name : c.data)
    for (const ObjectText &t : kObjects)
      if (std::strcmp(t.name, name) == 0) g.data.push_back(object(t));
  return g;
}

int count(const std::string &s, const std::string &what) {
  int n = 0;
  for (size_t p = s.find(what); p != std::string::npos; p = s.find(what, p + 1)) ++n;
  return n;
}

std::string attr(const std::string &tag, const char *name) {
  std::smatch m;
  std::regex_search(tag, m, std::regex(std::string(" ") + name + "=\"([^\"]*)\""));
  return m[1];
}

std::string unescaped(std::string s) {
  for (auto [from, to] :
       {std::pair{"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&#39;", "'"}, {"&amp;", "&"}})
    s = std::regex_replace(s, std::regex(from), to);
  return s;
}

struct TextBox {
  double x0, y0, x1, y1;
  std::string text;
};

// Balanced tags, a title and a desc, no stray markup characters; returns the text boxes.
std::vector<TextBox> checkDocument(const std::string &svg) {
  std::vector<std::string> open;
  std::vector<TextBox> boxes;
  const double w = std::stod(attr(svg, "width")), h = std::stod(attr(svg, "height"));
  const std::regex tag("<(/?)([a-z]+)([^>]*?)(/?)>([^<]*)");
  for (std::sregex_iterator it(svg.begin(), svg.end(), tag), end; it != end; ++it) {
    const auto &m = *it;
    if (m[1] == "/") {
      EXPECT_FALSE(open.empty());
      if (open.empty()) break;
      EXPECT_EQ(open.back(), m[2]);
      open.pop_back();
    } else if (m[4] != "/") {
      open.push_back(m[2]);
    }
    EXPECT_TRUE(std::regex_match(m[5].str(), std::regex("([^&>]|&(lt|gt|amp|quot|#39);)*")));
    for (const char *a : {"x", "y", "cx", "cy", "x1", "x2", "y1", "y2"}) {
      if (std::string v = attr(m.str(), a); !v.empty() && m[2] != "svg") {
        EXPECT_TRUE(std::stod(v) >= 0 && std::stod(v) <= (a[0] == 'y' || a[1] == 'y' ? h : w))
            << m.str();
      }
    }
    if (m[2] != "text" || m[1] == "/") continue;
    const std::string text = unescaped(m[5]), anchor = attr(m.str(), "text-anchor");
    const double size = std::stod(attr(m.str(), "font-size")), len = textWidth(text, size);
    const double x = std::stod(attr(m.str(), "x")), y = std::stod(attr(m.str(), "y"));
    const double shift = anchor == "middle" ? len / 2 : anchor == "end" ? len : 0;
    if (attr(m.str(), "transform").empty())
      boxes.push_back({x - shift, y - 0.9 * size, x - shift + len, y + 0.25 * size, text});
    else
      boxes.push_back({x - 0.9 * size, y - len + shift, x + 0.25 * size, y + shift, text});
  }
  EXPECT_TRUE(open.empty());
  EXPECT_EQ(count(svg, "<svg "), 1);
  EXPECT_TRUE(std::regex_search(svg, std::regex("<title>[^<]+</title>\n<desc>[^<]+</desc>")));
  for (size_t i = 0; i < boxes.size(); ++i) {
    const TextBox &a = boxes[i];
    EXPECT_TRUE(a.x0 >= 0 && a.y0 >= 0 && a.x1 <= w && a.y1 <= h) << a.text;
    for (size_t j = i + 1; j < boxes.size(); ++j) {
      const TextBox &b = boxes[j];
      EXPECT_FALSE(a.x0 < b.x1 && b.x0 < a.x1 && a.y0 < b.y1 && b.y0 < a.y1)
          << "'" << a.text << "' overlaps '" << b.text << "'";
    }
  }
  return boxes;
}

TEST(GraphDraw, EveryTemplateDrawsItsLayers) {
  for (const GraphCase &c : kGraphs) {
    SCOPED_TRACE(std::string(c.tmpl) + " " + c.dynamics);
    const std::string svg = drawSvg(graph(c));
    checkDocument(svg);
    const std::string plot = svg.substr(0, svg.find("<g class=\"legend\">"));
    EXPECT_EQ(count(plot, "<circle"), c.circles);
    EXPECT_EQ(count(plot, "<path"), c.diamonds);
    EXPECT_EQ(count(plot, "<polyline"), c.polylines);
    EXPECT_EQ(count(svg, "No data"), 0);
    EXPECT_NE(svg.find(c.text), std::string::npos) << c.text;
  }
}

TEST(GraphDraw, MissingOrEmptyDataSaysNoData) {
  for (const GraphCase &c : kGraphs) {
    SCOPED_TRACE(c.tmpl);
    output::Graph g = graph(c);
    g.data.clear();
    EXPECT_EQ(count(drawSvg(g), "No data to draw"), 1);
    g = graph(c);
    for (auto &d : g.dynamics)
      if (std::holds_alternative<std::string>(d.second)) d.second = std::string("Nothing");
    checkDocument(drawSvg(g));
    EXPECT_EQ(count(drawSvg(g), "No data to draw"), 1);
  }
  checkDocument(drawSvg({"G", "Stat.Kravo.Graphics.Unknown", "", "", "", {}, {}}));
}

TEST(GraphDraw, ExtremeValuesStayInsideTheImage) {
  for (const GraphCase &c : kGraphs) {
    SCOPED_TRACE(c.tmpl);
    output::Graph g = graph(c);
    for (auto &data : g.data) {
      auto o = std::make_shared<DataObject>(*data);
      for (auto &col : o->columns)
        for (size_t i = 0; i < col.cells.size(); ++i)
          if (std::holds_alternative<double>(col.cells[i])) col.cells[i] = (i % 3 ? 1e308 : -1e308);
      data = o;
    }
    const std::string svg = drawSvg(g);
    checkDocument(svg);
    EXPECT_FALSE(std::regex_search(svg, std::regex(">-?(inf|nan)")));
  }
}

TEST(GraphDraw, LabelsFromDataAreEscapedShortenedAndValidUtf8) {
  const std::string hostile = "a<b & \"c\" 'd' \xC3\xA9\xE4\xB8\xAD \xFF\xC0\xBC\xC3";
  GraphCase c = kGraphs[0];
  output::Graph g = graph(c);
  g.title = hostile + std::string(300, 'W');
  for (auto &d : g.dynamics)
    if (d.first == "_XLAB" || d.first == "_CONFLAB") d.second = hostile + std::string(200, 'm');
  const std::string svg = drawSvg(g);
  const auto boxes = checkDocument(svg);
  EXPECT_GE(count(svg,
                  "a&lt;b &amp; &quot;c&quot; &#39;d&#39; \xC3\xA9\xE4\xB8\xAD "
                  "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"),
            3);
  EXPECT_EQ(svg.find('\xFF'), std::string::npos);
  EXPECT_GE(count(svg, "\xE2\x80\xA6</text>"), 2);
}

}  // namespace
}  // namespace vyn::graphs
