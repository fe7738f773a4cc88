// Creates the control by its ProgID, as a page's script does once the
// control is installed, and says whether that worked.
try {
  var control = new ActiveXObject("BRIMLET.BrimletCtrl.1");
  WScript.Echo("created, MaxFileCount=" + control.MaxFileCount);
} catch (e) {
  WScript.Echo("not created: " + (e.number >>> 0).toString(16));
}
