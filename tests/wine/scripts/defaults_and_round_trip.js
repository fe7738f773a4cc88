// Run by the script-engine scenario with cscript: creates the control by its
// ProgID, without a container, the way a page's script object would.
var control = new ActiveXObject("BRIMLET.BrimletCtrl.1");
function show(name, value) { WScript.Echo(name + "=" + value); }

show("ScriptURL", "[" + control.ScriptURL + "]");
show("FilterLength", control.Filter.length);
show("MaxFileSize", control.MaxFileSize);
show("MaxTotalSize", control.MaxTotalSize);
show("MaxFileCount", control.maxfilecount);
show("ShowProgress", control.ShowProgress);
show("EnablePopupMenu", control.EnablePopupMenu);
show("ServerResponse", control.ServerResponse);

control.ScriptURL = "http://127.0.0.1:8080/upload";
control.MaxFileCount = "25";
control.MAXTOTALSIZE = -1;
control.ServerResponse = true;
control.ShowProgress = false;
show("ScriptURL", control.ScriptURL);
show("MaxFileCount", control.MaxFileCount);
show("MaxTotalSize", control.MaxTotalSize);
show("ServerResponse", control.ServerResponse);
show("ShowProgress", control.ShowProgress);

control.Upload();
control.AboutBox();
control.SelectFolder();
control.UploadCancel();
try {
  control.NoSuchMethod();
  show("NoSuchMethod", "called");
} catch (e) {
  show("NoSuchMethod", "refused");
}
show("done", "yes");
