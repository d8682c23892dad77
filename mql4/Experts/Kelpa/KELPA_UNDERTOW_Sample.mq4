//+------------------------------------------------------------------+
//| KELPA_UNDERTOW_Sample.mq4
//| Calls every export of KELPA_UNDERTOW.dll once, through the wrappers of
//| KELPA_UNDERTOW.mqh, and prints the answers to the Experts log.
//+------------------------------------------------------------------+
// Needs KELPA_UNDERTOW.dll in MQL4\Libraries and "Allow DLL imports" ticked for this expert.
#property strict

#include <Kelpa\KELPA_UNDERTOW.mqh>

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
   // Entry rules: direction 1 tests a buy, anything else a sell; 1 when the entry holds, else 0.
   // The last two doubles are spare: not read, but passed.
   Print("UNDERTOW1: ", UNDERTOW1(1, 20.0, 25.0, 1.1000, 1.1050, 0.0001, 0.0, 0.0));
   Print("UNDERTOW2: ", UNDERTOW2(1, 20.0, 25.0, 30.0, 1.1000, 1.1050, 0.0001, 10.0, 0.0, 0.0));
   Print("UNDERTOW3: ", UNDERTOW3(1, 20.0, 25.0, 1.1000, 1.1050, 0.0001, 10.0, 0.0, 0.0));
   Print("UNDERTOW4: ", UNDERTOW4(1, 20.0, 0.5, 0.6, 1.1000, 1.1050, 0.0001, 10.0, 0.0, 0.0));
   return(INIT_SUCCEEDED);
  }

void OnTick()
  {
  }
