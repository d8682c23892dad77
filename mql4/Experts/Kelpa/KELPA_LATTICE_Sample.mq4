//+------------------------------------------------------------------+
//| KELPA_LATTICE_Sample.mq4
//| Calls every export of KELPA_LATTICE.dll once, through the wrappers of
//| KELPA_LATTICE.mqh, and prints the answers to the Experts log.
//+------------------------------------------------------------------+
// Needs KELPA_LATTICE.dll in MQL4\Libraries and "Allow DLL imports" ticked for this expert.
#property strict

#include <Kelpa\KELPA_LATTICE.mqh>

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
   // Grid settings document: its length, or 0.
   string settings;
   Print("GrabWeb: ", KelpaGrabWeb("", KELPA_GET, settings), " characters");
   // Currency display text: "1;$" for USD, "" for a code not in the table.
   Print("CurrencyDisplay: ", KelpaCurrencyDisplay("USD"));
   // Grid rules: 1 when the rule holds, else 0. With a zero selector only LATTICE2 can hold.
   Print("LATTICE2: ", LATTICE2(1.0, 1.0, 1.0, 0.0, 0.0));   // 1
   Print("LATTICE3: ", LATTICE3(1.0, 1.0, 1.0, 0.0, 0.0));   // 0
   return(INIT_SUCCEEDED);
  }

void OnTick()
  {
  }
