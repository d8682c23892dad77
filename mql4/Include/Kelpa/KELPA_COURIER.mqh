//+------------------------------------------------------------------+
//| KELPA_COURIER.mqh
//| The exports of KELPA_COURIER.dll, and wrappers that take and return
//| MQL4 strings.
//+------------------------------------------------------------------+
// Put KELPA_COURIER.dll in the terminal's MQL4\Libraries folder and allow DLL imports.
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
#define KELPA_BODY_BUFFER   65536  // a web body is at most 65,535 bytes and its NUL
#define KELPA_GET           1      // method code of an HTTP GET
#define KELPA_POST          2      // method code of an HTTP POST

#import "KELPA_COURIER.dll"
int    PeltoDeleteKey(const uchar &key_name[]);
int    PeltoDeleteVar(uchar &var_path[]);
double PeltoGetDouble(uchar &var_path[]);
int    PeltoSetDouble(uchar &var_path[], double value);
int    PeltoGetInteger(uchar &var_path[]);
int    PeltoSetInteger(uchar &var_path[], int value);
int    PeltoGetString(uchar &var_path[], uchar &text_buffer[], int buffer_len);
int    PeltoSetString(uchar &var_path[], const uchar &text[]);
int    PeltoWebRequest(uchar &body_buffer[], const uchar &address[], const uchar &data[], int method);
int    COURIER1(uchar &body_buffer[], const uchar &product_folder[], const uchar &document[]);
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

//--- Web client: one HTTP/1.0 request to port 80. The calling thread waits for the answer, and
//--- for at most 30 seconds on any receive or send.

// Sends a GET (KELPA_GET: data is the query after "?") or a POST (KELPA_POST: data is the form
// body) to address, a host name followed by a path ("example.com/page"). Returns the body's
// length, with the body in body; 0 on any failure or for an empty body, with body "".
int KelpaWebRequest(string address, string data, int method, string &body)
  {
   uchar host_and_path[], form[], buffer[];
   StringToCharArray(address, host_and_path);
   StringToCharArray(data, form);
   ArrayResize(buffer, KELPA_BODY_BUFFER);
   ArrayInitialize(buffer, 0);
   int length = PeltoWebRequest(buffer, host_and_path, form, method);
   body = length > 0 ? CharArrayToString(buffer, 0, length) : "";
   return(length);
  }

//--- Member document download.

// Fetches the document named document from the product folder product_folder of the member area.
// Returns 1 with the document in body, or 0 (failure or an empty document) with body "".
int KelpaCourierDocument(string product_folder, string document, string &body)
  {
   uchar folder[], name[], buffer[];
   StringToCharArray(product_folder, folder);
   StringToCharArray(document, name);
   ArrayResize(buffer, KELPA_BODY_BUFFER);
   ArrayInitialize(buffer, 0);
   int found = COURIER1(buffer, folder, name);
   body = found == 1 ? CharArrayToString(buffer) : "";
   return(found);
  }
