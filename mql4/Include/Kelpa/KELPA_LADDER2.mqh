//+------------------------------------------------------------------+
//| KELPA_LADDER2.mqh
//| The exports of KELPA_LADDER2.dll, and wrappers that take and return
//| MQL4 strings.
//+------------------------------------------------------------------+
// Put KELPA_LADDER2.dll in the terminal's MQL4\Libraries folder and allow DLL imports.
//
// The terminal passes a string to a DLL as UTF-16 text, while the library reads and writes ANSI
// (single-byte) text: every text parameter is therefore declared as a uchar array. Call the
// wrappers below with ordinary strings; they convert, give the library buffers of the right size,
// and pass copies, so your own strings are never cut or overwritten.
//
// Include one Kelpa header per program: all six declare wrappers of the same names.

// Results and buffer sizes of the library.
#define KELPA_DONE          0      // the result of a set or delete that succeeded
#define KELPA_NOT_DONE      -1     // the result of a set or delete that failed
#define KELPA_TEXT_BUFFER   260    // PeltoGetString reads at most 259 characters and their NUL

#import "KELPA_LADDER2.dll"
int    PeltoDeleteKey(const uchar &key_name[]);
int    PeltoDeleteVar(uchar &var_path[]);
double PeltoGetDouble(uchar &var_path[]);
int    PeltoSetDouble(uchar &var_path[], double value);
int    PeltoGetInteger(uchar &var_path[]);
int    PeltoSetInteger(uchar &var_path[], int value);
int    PeltoGetString(uchar &var_path[], uchar &text_buffer[], int buffer_len);
int    PeltoSetString(uchar &var_path[], const uchar &text[]);
int    LADDER1(int direction, double first_value, double second_value, double first_reference,
                double second_reference, double candidate, double peer1, double peer2, double peer3,
                double peer4, double peer5, double peer6, double peer7, double peer8, double peer9,
                double peer10);
#import

//--- Variable store: variables live in HKEY_CURRENT_USER\Software\TORVANEXIAL, shared by every
//--- Kelpa library and script of this Windows user. A path "key\name" names the value "name" in
//--- the key "key"; without a backslash the value sits directly in the root key.

// Stores an integer as text ("%d"). 0 stored, -1 not stored.
int KelpaSetInteger(string var_path, int value)
  {
   uchar path[];
   StringToCharArray(var_path, path);
   return(PeltoSetInteger(path, value));
  }

// The stored integer; 0 when there is none (the same as a stored 0).
int KelpaGetInteger(string var_path)
  {
   uchar path[];
   StringToCharArray(var_path, path);
   return(PeltoGetInteger(path));
  }

// Stores a double as text with six decimals ("%f"). 0 stored, -1 not stored (NaN, infinity, or a
// value of 1e120 or more in size).
int KelpaSetDouble(string var_path, double value)
  {
   uchar path[];
   StringToCharArray(var_path, path);
   return(PeltoSetDouble(path, value));
  }

// The stored double; 0.0 when there is none (the same as a stored 0.0).
double KelpaGetDouble(string var_path)
  {
   uchar path[];
   StringToCharArray(var_path, path);
   return(PeltoGetDouble(path));
  }

// Stores a text unchanged. 0 stored, -1 not stored. Texts over 259 characters are stored but can
// not be read back.
int KelpaSetString(string var_path, string text)
  {
   uchar path[], data[];
   StringToCharArray(var_path, path);
   StringToCharArray(text, data);
   return(PeltoSetString(path, data));
  }

// The stored text; "" when there is none, when it is empty, or when it does not fit buffer_len
// bytes with its NUL (at most 259 characters are ever read).
string KelpaGetString(string var_path, int buffer_len = KELPA_TEXT_BUFFER)
  {
   uchar path[], text[];
   StringToCharArray(var_path, path);
   ArrayResize(text, buffer_len > 0 ? buffer_len : 1);
   ArrayInitialize(text, 0);
   int length = PeltoGetString(path, text, buffer_len);
   if(length <= 0 || length >= buffer_len)
      return("");
   return(CharArrayToString(text, 0, length));
  }

// Deletes one variable. 0 deleted, -1 when there was none.
int KelpaDeleteVar(string var_path)
  {
   uchar path[];
   StringToCharArray(var_path, path);
   return(PeltoDeleteVar(path));
  }

// Deletes a key below the root key with all its variables and subkeys. 0 removed, -1 not removed
// (missing, or a part could not be removed). The empty name is refused with -1.
int KelpaDeleteKey(string key_name)
  {
   uchar name[];
   StringToCharArray(key_name, name);
   return(PeltoDeleteKey(name));
  }

//--- Entry rules take no text: call the imports above directly. direction 1 tests a buy,
//--- any other value a sell; each answers 1 when the entry condition holds, else 0. The spare
//--- doubles are not read, but must be passed.
