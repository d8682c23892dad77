//+------------------------------------------------------------------+
//| KELPA_BASE_Sample.mq4
//| Calls every export of KELPA_BASE.dll once, through the wrappers of
//| KELPA_BASE.mqh, and prints the answers to the Experts log.
//+------------------------------------------------------------------+
// Needs KELPA_BASE.dll in MQL4\Libraries and "Allow DLL imports" ticked for this expert.
#property strict

#include <Kelpa\KELPA_BASE.mqh>

int OnInit()
  {
   // Variables: "sample\level" is the value "level" in the key "sample" below
   // HKEY_CURRENT_USER\Software\TORVANEXIAL, seen by every Kelpa library of this Windows user.
   Print("SetInteger: ", KelpaSetInteger("sample\\count", 42));          // 0 stored, -1 not stored
   Print("GetInteger: ", KelpaGetInteger("sample\\count"));              // 42; 0 when missing
   Print("SetDouble: ", KelpaSetDouble("sample\\level", 1.5));           // 0: stored as "1.500000"
   Print("GetDouble: ", KelpaGetDouble("sample\\level"));                // 1.5; 0.0 when missing
   Print("SetString: ", KelpaSetString("sample\\note", "hello"));        // 0 stored
   Print("GetString: ", KelpaGetString("sample\\note"));                 // "hello"; "" when missing
   Print("DeleteVar: ", KelpaDeleteVar("sample\\note"));                 // 0 deleted, -1 when missing
   Print("DeleteKey: ", KelpaDeleteKey("sample"));                         // 0: the key and all below it gone
   // Web: an HTTP/1.0 request to port 80; the expert waits for the answer (at most 30 s per
   // receive). 0 means no body: no connection (a message box tells the user), an error status
   // such as 404, or an empty body.
   string body;
   int length = KelpaWebRequest("example.com/index.html", "a=1", KELPA_GET, body);
   Print("WebRequest: ", length, " characters: ", StringSubstr(body, 0, 60));
   return(INIT_SUCCEEDED);
  }

void OnTick()
  {
  }
