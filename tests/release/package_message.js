// cscript package_message.js <package>: prints the message a package gives
// when a launch condition refuses it, read through the system's installer
// object as a management tool would.
var installer = new ActiveXObject("WindowsInstaller.Installer");
var view = installer.OpenDatabase(WScript.Arguments(0), 0).OpenView("SELECT `Description` FROM `LaunchCondition`");
view.Execute();
for (var record = view.Fetch(); record; record = view.Fetch()) WScript.Echo(record.StringData(1));
