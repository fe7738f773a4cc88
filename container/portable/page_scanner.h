// Reads what the page host needs out of an HTML page: the embedded objects
// with their PARAM values, the script blocks, the buttons and the body's
// onload. Tolerant as a browser is: any case, quoted or bare attribute
// values, unclosed tags and stray '<' never stop it; what it had to skip is
// listed in `problems` with its line. Works on UTF-8 text.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace container::page {

struct Param {
  std::string name;
  std::string value;  // entities decoded
};

struct ObjectTag {
  std::string id;       // the id attribute (or name, when there is no id)
  std::string classId;  // "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" from
                        // classid="clsid:..."; empty when absent or malformed
  int width = -1;       // pixels; -1 when absent or not in pixels
  int height = -1;
  std::vector<Param> params;
  int line = 0;  // 1-based page line of the <object
};

struct ScriptBlock {
  std::string code;
  int line = 0;  // page line on which the code's first line stands
};

// A <button> or an <input type=button|submit|reset> with an onclick.
struct Button {
  std::string id;
  std::string label;  // the button's text, or an input's value
  std::string onclick;
  int line = 0;
};

struct Page {
  std::string title;
  std::vector<ObjectTag> objects;
  std::vector<ScriptBlock> scripts;  // JScript blocks only, in page order
  std::vector<Button> buttons;
  std::string onload;  // the body's onload code
  int onloadLine = 0;
  std::vector<std::string> problems;
};

Page ScanPage(std::string_view text);

// &amp; &lt; &gt; &quot; &apos; &nbsp; &#NN; &#xHH;. An unknown or
// unterminated reference stays as written.
std::string DecodeEntities(std::string_view text);

// "clsid:6f1b..." (any case, braces optional) as "{6F1B...}"; empty when the
// text is not a clsid: reference to a well-formed GUID.
std::string ClassIdFromAttribute(std::string_view value);

// "320", "320px" or " 320 " as 320; -1 for a percentage, other units, no
// digits, or more than 16384.
int ParsePixels(std::string_view value);

// Script code with the HTML comment markers that old pages wrap their code
// in ("<!--" and "-->" at the start of a line, after white space) turned
// into line comments, as browsers' engines read them; line and column
// numbers do not move. Engines that lack this rule reject such code.
std::string WithHtmlCommentsAsLineComments(std::string code);

// Whether a <script> with these language and type attributes (either may be
// empty) is JScript. The language attribute decides when present, as it did
// in the browsers that ran such pages; with neither, JScript is the default.
bool IsJScriptBlock(std::string_view language, std::string_view type);

}  // namespace container::page
