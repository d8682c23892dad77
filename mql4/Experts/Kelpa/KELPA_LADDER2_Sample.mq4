//+------------------------------------------------------------------+
//| KELPA_LADDER2_Sample.mq4
//| Calls every export of KELPA_LADDER2.dll once, through the wrappers of
//| KELPA_LADDER2.mqh, and prints the answers to the Experts log.
//+------------------------------------------------------------------+
// Needs KELPA_LADDER2.dll in MQL4\Libraries and "Allow DLL imports" ticked for this expert.
#property strict

#include <Kelpa\KELPA_LADDER2.mqh>

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
   // Ladder rule: direction 1 tests a buy, anything else a sell; 1 when the entry holds, else 0.
   Print("LADDER1: ", LADDER1(1, 1.0, 2.0, 1.5, 1.6, 1.1000, 1.1010, 1.1020, 1.1030, 1.1040,
                              1.1050, 1.1060, 1.1070, 1.1080, 1.1090, 1.1100));
   return(INIT_SUCCEEDED);
  }

void OnTick()
  {
  }
