// How the page host reads a page: the objects with their PARAM values, the
// JScript blocks with the lines they stand on, the buttons, and what a
// careless page gets (a note, never a crash or a lost tag).
#include <gtest/gtest.h>

#include <string>

#include "container/portable/page_scanner.h"

namespace {

using container::page::ScanPage;

const char kClsid[] = "{6F1B2A34-0C5D-4E6F-8A9B-0C1D2E3F4A5B}";

TEST(PageObjects, QuotedBareAndSingleQuotedAttributesInAnyCase) {
  const auto page = ScanPage(
      "<html><body>\n"
      "<OBJECT ID=upload CLASSID='clsid:6f1b2a34-0c5d-4e6f-8a9b-0c1d2e3f4a5b' Width=\"480\"\n"
      "        height=240px>\n"
      "  <PARAM NAME=\"ScriptURL\" VALUE=\"http://127.0.0.1:8080/up?a=1&amp;b=2\">\n"
      "  <param name=MaxFileCount value=5>\n"
      "  <Param Name='Filter' Value='Text|*.txt|'/>\n"
      "</OBJECT>\n");
  ASSERT_EQ(1u, page.objects.size());
  const auto& object = page.objects[0];
  EXPECT_EQ("upload", object.id);
  EXPECT_EQ(kClsid, object.classId);
  EXPECT_EQ(480, object.width);
  EXPECT_EQ(240, object.height);
  EXPECT_EQ(2, object.line);
  ASSERT_EQ(3u, object.params.size());
  EXPECT_EQ("ScriptURL", object.params[0].name);
  EXPECT_EQ("http://127.0.0.1:8080/up?a=1&b=2", object.params[0].value);
  EXPECT_EQ("MaxFileCount", object.params[1].name);
  EXPECT_EQ("5", object.params[1].value);
  EXPECT_EQ("Text|*.txt|", object.params[2].value);
  EXPECT_TRUE(page.problems.empty());
}

TEST(PageObjects, ParamsBelongToTheirOwnObjectAndStrayOnesAreNoted) {
  const auto page = ScanPage(
      "<param name=Lost value=1>\n"
      "<object id=a classid=\"clsid:6F1B2A34-0C5D-4E6F-8A9B-0C1D2E3F4A5B\"><param name=X value=1>"
      "</object>\n"
      "<object id=b classid=\"clsid:{6F1B2A34-0C5D-4E6F-8A9B-0C1D2E3F4A5B}\">"
      "<param name=Y value=2><param value=nameless></object>\n");
  ASSERT_EQ(2u, page.objects.size());
  ASSERT_EQ(1u, page.objects[0].params.size());
  EXPECT_EQ("X", page.objects[0].params[0].name);
  ASSERT_EQ(1u, page.objects[1].params.size());
  EXPECT_EQ("Y", page.objects[1].params[0].name);
  EXPECT_EQ(kClsid, page.objects[1].classId);
  ASSERT_EQ(2u, page.problems.size());
  EXPECT_NE(std::string::npos, page.problems[0].find("line 1"));
  EXPECT_NE(std::string::npos, page.problems[1].find("no name"));
}

TEST(PageObjects, ObjectWithoutIdTakesItsNameAndMissingSizesStayUnknown) {
  const auto page = ScanPage("<object name=picker classid=clsid:6F1B2A34-0C5D-4E6F-8A9B-0C1D2E3F4A5B "
                             "width=100%></object>");
  ASSERT_EQ(1u, page.objects.size());
  EXPECT_EQ("picker", page.objects[0].id);
  EXPECT_EQ(-1, page.objects[0].width);
  EXPECT_EQ(-1, page.objects[0].height);
}

TEST(PageObjects, CommentedOutObjectsAndParamsAreNotSeen) {
  const auto page = ScanPage(
      "<!-- <object id=old classid=\"clsid:6F1B2A34-0C5D-4E6F-8A9B-0C1D2E3F4A5B\"> -->\n"
      "<object id=new classid=\"clsid:6F1B2A34-0C5D-4E6F-8A9B-0C1D2E3F4A5B\">\n"
      "<!-- <param name=MaxFileCount value=1> -->\n"
      "<param name=MaxFileCount value=2></object>");
  ASSERT_EQ(1u, page.objects.size());
  EXPECT_EQ("new", page.objects[0].id);
  ASSERT_EQ(1u, page.objects[0].params.size());
  EXPECT_EQ("2", page.objects[0].params[0].value);
}

TEST(PageObjects, ValuesKeepTheirUtf8TextAndQuotesOfTheOtherKind) {
  const auto page = ScanPage(
      u8"<object id=u classid=\"clsid:6F1B2A34-0C5D-4E6F-8A9B-0C1D2E3F4A5B\">"
      u8"<param name=\"Filter\" value='모든 \"파일\"|*.*|'></object>");
  ASSERT_EQ(1u, page.objects.size());
  ASSERT_EQ(1u, page.objects[0].params.size());
  EXPECT_EQ(u8"모든 \"파일\"|*.*|", page.objects[0].params[0].value);
}

TEST(PageScripts, JScriptBlocksKeepTheLineTheirCodeStartsOn) {
  const auto page = ScanPage(
      "<html>\n"
      "<head><script language=\"JScript\">var a = 1;\n"
      "var b = 2;</script>\n"
      "<script type=\"text/javascript\">\n"
      "  var c = 3;\n"
      "</script>\n"
      "<script>var d = \"</scr\" + \"ipt>\";</script>\n"
      "</head>\n");
  ASSERT_EQ(3u, page.scripts.size());
  EXPECT_EQ("var a = 1;\nvar b = 2;", page.scripts[0].code);
  EXPECT_EQ(2, page.scripts[0].line);
  EXPECT_EQ("\n  var c = 3;\n", page.scripts[1].code);
  EXPECT_EQ(4, page.scripts[1].line);
  EXPECT_EQ(7, page.scripts[2].line);
}

TEST(PageScripts, MarkupInsideAScriptIsNotTakenForTags) {
  const auto page = ScanPage(
      "<script>document.write('<object id=x classid=\"clsid:6F1B2A34-0C5D-4E6F-8A9B-0C1D2E3F4A5B\">"
      "');</script>");
  EXPECT_TRUE(page.objects.empty());
  ASSERT_EQ(1u, page.scripts.size());
}

TEST(PageScripts, OtherLanguagesAndExternalScriptsAreSkippedWithANote) {
  const auto page = ScanPage(
      "<script language=\"VBScript\">MsgBox 1</script>\n"
      "<script type=\"text/vbscript\">MsgBox 2</script>\n"
      "<script src=\"lib.js\"></script>\n"
      "<script language=JavaScript1.2>var ok = 1;</script>\n");
  ASSERT_EQ(1u, page.scripts.size());
  EXPECT_EQ("var ok = 1;", page.scripts[0].code);
  ASSERT_EQ(3u, page.problems.size());
  EXPECT_NE(std::string::npos, page.problems[2].find("line 3"));
}

TEST(PageScripts, ForEventBlockBecomesTheNamedHandlerOnTheSameLine) {
  const auto page = ScanPage(
      "\n<script for=\"upload\" event=\"UploadFinish(success)\" language=\"JScript\">\n"
      "  log(success);\n"
      "</script>\n"
      "<script for=upload event=UploadFinish>log(1)</script>\n"
      "<script for=\"up load\" event=\"x(\">bad</script>\n");
  ASSERT_EQ(2u, page.scripts.size());
  EXPECT_EQ("function upload::UploadFinish(success) {\n  log(success);\n\n}", page.scripts[0].code);
  EXPECT_EQ(2, page.scripts[0].line);
  EXPECT_EQ("function upload::UploadFinish() {log(1)\n}", page.scripts[1].code);
  ASSERT_EQ(1u, page.problems.size());
  EXPECT_NE(std::string::npos, page.problems[0].find("line 6"));
}

TEST(PageScripts, HtmlCommentWrappersBecomeLineCommentsWithoutMovingAnything) {
  const auto page = ScanPage(
      "<script language=\"JavaScript\">\n"
      "<!-- hide from old browsers\n"
      "var s = \"<!-- stays -->\";\n"
      "  -->\n"
      "//-->\n"
      "</script>");
  ASSERT_EQ(1u, page.scripts.size());
  EXPECT_EQ("\n//   hide from old browsers\nvar s = \"<!-- stays -->\";\n  // \n//-->\n",
            page.scripts[0].code);
  using container::page::WithHtmlCommentsAsLineComments;
  EXPECT_EQ("//  ", WithHtmlCommentsAsLineComments("<!--"));
  EXPECT_EQ("a\n\t// x", WithHtmlCommentsAsLineComments("a\n\t-->x"));
  EXPECT_EQ("a <!-- b", WithHtmlCommentsAsLineComments("a <!-- b"));
  EXPECT_EQ("", WithHtmlCommentsAsLineComments(""));
}

TEST(PageScripts, AScriptWithoutEndTagRunsToTheEndAndIsNoted) {
  const auto page = ScanPage("<script>\nvar x = 1;\n");
  ASSERT_EQ(1u, page.scripts.size());
  EXPECT_EQ("\nvar x = 1;\n", page.scripts[0].code);
  ASSERT_EQ(1u, page.problems.size());
  EXPECT_NE(std::string::npos, page.problems[0].find("no end tag"));
}

TEST(PageButtons, ButtonsAndInputsWithOnclickAreListedWithTheirLabels) {
  const auto page = ScanPage(
      "<body onload=\"start()\">\n"
      "<button id=add onclick=\"upload.AddFile()\">Add <b>files</b>&hellip;</button>\n"
      "<input type=BUTTON value=\"Send &amp; finish\" onclick='upload.Upload()'>\n"
      "<input type=text value=ignored onclick=\"x()\">\n"
      "<button>no handler</button>\n");
  EXPECT_EQ("start()", page.onload);
  EXPECT_EQ(1, page.onloadLine);
  ASSERT_EQ(2u, page.buttons.size());
  EXPECT_EQ("add", page.buttons[0].id);
  EXPECT_EQ("Add files&hellip;", page.buttons[0].label);
  EXPECT_EQ("upload.AddFile()", page.buttons[0].onclick);
  EXPECT_EQ(2, page.buttons[0].line);
  EXPECT_EQ("Send & finish", page.buttons[1].label);
  EXPECT_EQ("upload.Upload()", page.buttons[1].onclick);
}

TEST(PageTolerance, BrokenMarkupEndsTheScanWithNotesAndNoCrash) {
  const char* const pages[] = {
      "<", "<<<>>>", "<object", "<object id=\"open", "<param name=", "<!-- open",
      "a < b and c > d", "<object id=a><object id=b></object>", "<title>T", "</object></object>",
      "<script for=a event=", "<input type=button onclick",
  };
  for (const char* text : pages) {
    const auto page = ScanPage(text);
    for (const auto& object : page.objects) EXPECT_TRUE(object.classId.empty()) << text;
  }
  const auto unclosed = ScanPage("<object id=\"a classid=x>\n<param name=Q value=1>");
  ASSERT_EQ(1u, unclosed.objects.size());
  EXPECT_FALSE(unclosed.problems.empty());
  const auto nested = ScanPage("<object id=a><object id=b></object><param name=P value=1>");
  ASSERT_EQ(2u, nested.objects.size());
  EXPECT_EQ(1u, nested.objects[0].params.size()) << "the param after </object> is the outer one's";
  EXPECT_TRUE(nested.objects[1].params.empty());
  EXPECT_EQ("T", ScanPage("<title>  T  </title>").title);
}

TEST(PageTolerance, LargeRunsOfUnclosedButtonsAndBareAmpersandsAreReadInFull) {
  std::string page;
  for (int i = 0; i < 20000; ++i) page += "<button onclick=f()>x";
  const auto buttons = ScanPage(page);
  ASSERT_EQ(20000u, buttons.buttons.size());
  EXPECT_EQ("", buttons.buttons[0].label) << "no end tag within reach: no label";
  EXPECT_EQ("f()", buttons.buttons[19999].onclick);

  const std::string ampersands(400000, '&');
  const auto params = ScanPage("<object id=a><param name=P value=\"" + ampersands + "\"></object>");
  ASSERT_EQ(1u, params.objects.size());
  ASSERT_EQ(1u, params.objects[0].params.size());
  EXPECT_EQ(ampersands, params.objects[0].params[0].value);
}

TEST(PageEntities, NamedAndNumericReferencesDecodeAndUnknownOnesStay) {
  using container::page::DecodeEntities;
  EXPECT_EQ("a & b < c > d \"e\" 'f'", DecodeEntities("a &amp; b &lt; c &GT; d &quot;e&quot; &apos;f&apos;"));
  EXPECT_EQ("AB", DecodeEntities("&#65;&#x42;"));
  EXPECT_EQ(u8"한", DecodeEntities("&#xD55C;"));
  EXPECT_EQ(u8"\U0001F600", DecodeEntities("&#128512;"));
  EXPECT_EQ(u8"\uFFFD\uFFFD\uFFFD", DecodeEntities("&#0;&#xD800;&#99999999999;"));
  EXPECT_EQ("&copy; &#; &#x; &#12a; & x &amp", DecodeEntities("&copy; &#; &#x; &#12a; & x &amp"));
  EXPECT_EQ("fish &chips; a;b", DecodeEntities("fish &chips; a;b"));
}

TEST(PageAttributes, ClassIdsAreNormalisedAndMalformedOnesRefused) {
  using container::page::ClassIdFromAttribute;
  EXPECT_EQ(kClsid, ClassIdFromAttribute(" CLSID: 6f1b2a34-0c5d-4e6f-8a9b-0c1d2e3f4a5b "));
  EXPECT_EQ(kClsid, ClassIdFromAttribute("clsid:{6F1B2A34-0C5D-4E6F-8A9B-0C1D2E3F4A5B}"));
  EXPECT_EQ("", ClassIdFromAttribute("6F1B2A34-0C5D-4E6F-8A9B-0C1D2E3F4A5B"));
  EXPECT_EQ("", ClassIdFromAttribute("clsid:6F1B2A34-0C5D-4E6F-8A9B-0C1D2E3F4A5"));
  EXPECT_EQ("", ClassIdFromAttribute("clsid:6F1B2A34x0C5D-4E6F-8A9B-0C1D2E3F4A5B"));
  EXPECT_EQ("", ClassIdFromAttribute("clsid:6F1B2A34-0C5D-4E6F-8A9B-0C1D2E3F4A5G"));
  EXPECT_EQ("", ClassIdFromAttribute("clsid:{6F1B2A34-0C5D-4E6F-8A9B-0C1D2E3F4A5B"));
  EXPECT_EQ("", ClassIdFromAttribute("BRIMLET.BrimletCtrl.1"));
}

TEST(PageAttributes, PixelSizesAcceptDigitsAndPxOnly) {
  using container::page::ParsePixels;
  EXPECT_EQ(320, ParsePixels("320"));
  EXPECT_EQ(320, ParsePixels(" 320PX "));
  EXPECT_EQ(0, ParsePixels("0"));
  EXPECT_EQ(-1, ParsePixels("50%"));
  EXPECT_EQ(-1, ParsePixels("10em"));
  EXPECT_EQ(-1, ParsePixels("-5"));
  EXPECT_EQ(-1, ParsePixels(""));
  EXPECT_EQ(-1, ParsePixels("99999"));
  EXPECT_EQ(-1, ParsePixels("99999999999999999999"));
}

TEST(PageAttributes, LanguageAttributeDecidesBeforeType) {
  using container::page::IsJScriptBlock;
  EXPECT_TRUE(IsJScriptBlock("", ""));
  EXPECT_TRUE(IsJScriptBlock("JScript", ""));
  EXPECT_TRUE(IsJScriptBlock("javascript1.5", ""));
  EXPECT_TRUE(IsJScriptBlock("", "Text/JavaScript; charset=utf-8"));
  EXPECT_FALSE(IsJScriptBlock("VBScript", "text/javascript"));
  EXPECT_TRUE(IsJScriptBlock("JScript", "text/vbscript"));
  EXPECT_FALSE(IsJScriptBlock("", "text/template"));
}

}  // namespace
