/*
 * vexaio: reading and writing system files.
 *
 * A caller opens a file and receives an integer file handle (0 to 99), reads
 * or defines the dictionary through the handle, reads or writes cases, and
 * closes the handle. Every function that can fail returns an int result code:
 * VEXA_OK (0) on success, a positive VEXA_E_* code on error (the call had no
 * effect beyond what its description says), a negative VEXA_W_* code for a
 * warning (the call did its work; the warning describes a special outcome).
 * Output arguments are reset (numbers to 0, texts to empty, pointers to NULL,
 * handles to -1) before any check, so after an error they hold those values.
 *
 * Texts are NUL-terminated byte strings in the interface encoding (the
 * current code page, or UTF-8 in the U8 calls and in UTF-8 mode). Arrays that
 * the library hands out belong to the caller until it passes them to the
 * matching free call. Calls on one handle must be serialised by the caller.
 *
 * Threads (beyond the standard calls, which ask callers to serialise every
 * open and close): the handle table has a lock, so threads may open, use and
 * close different handles at the same time; the process-wide settings
 * (interface encoding, code page, locale) change atomically while no handle
 * is open.
 */
#ifndef VEXAIO_H_
#define VEXAIO_H_

#if defined(VEXA_BUILDING_LIBRARY)
#define VEXA_API __attribute__((visibility("default")))
#else
#define VEXA_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ===== Result codes ===== */

#define VEXA_OK 0

/* Warnings (negative): the call did its work. */
#define VEXA_W_LABEL_TRUNCATED (-2)       /* variable label stored cut to 256 bytes */
#define VEXA_W_VALUE_LABEL_TRUNCATED (-4) /* value label stored cut to 120 bytes */
#define VEXA_W_END_OF_DATA (-5)           /* no further case */
#define VEXA_W_NO_VARIABLE_SETS (-7)      /* no variable sets defined */
#define VEXA_W_NO_VALUE_LABELS (-8)       /* the variable has no value labels */
#define VEXA_W_NO_LABEL (-9)              /* no label for the variable or value */
#define VEXA_W_NO_WEIGHT (-10)            /* no weight variable */
#define VEXA_W_NO_DATE_INFO (-11)         /* no date information */
#define VEXA_W_NO_MULT_RESP (-13)         /* no multiple-response sets */
#define VEXA_W_NO_KVT_INFO (-14)          /* no KVT information */

/* Errors (positive): the call had no effect. */
#define VEXA_E_FILE_OPEN 1             /* file cannot be opened, created or written */
#define VEXA_E_FILE_WRITE 2            /* failure while writing a case */
#define VEXA_E_FILE_READ 3             /* file not readable; failure while reading */
#define VEXA_E_TOO_MANY_FILES 4        /* all 100 handle slots occupied */
#define VEXA_E_BAD_HANDLE 5            /* handle not open */
#define VEXA_E_DICTIONARY 6            /* no variables; duplicate names in a file */
#define VEXA_E_NO_MEMORY 7             /* storage cannot be obtained (any call
                                          that runs out of it) */
#define VEXA_E_OPENED_FOR_READ 8       /* define or data call on a read handle */
#define VEXA_E_OPENED_FOR_WRITE 9      /* read call on a write or append handle */
#define VEXA_E_BAD_VAR_NAME 10         /* name fails validation */
#define VEXA_E_NO_VARIABLES 11         /* header commit without variables */
#define VEXA_E_VAR_NOT_FOUND 12        /* no variable of that name or index */
#define VEXA_E_DUPLICATE_VAR 13        /* name already defined */
#define VEXA_E_NOT_NUMERIC 14          /* numeric-only call on a string variable */
#define VEXA_E_WRONG_TYPE 15           /* string-only call on a numeric variable */
#define VEXA_E_BAD_VAR_TYPE 17         /* type above 32767 */
#define VEXA_E_BAD_MISSING_VALUES 18   /* bad missing-value count or range */
#define VEXA_E_BAD_PRINT_FORMAT 20     /* invalid print format */
#define VEXA_E_BAD_WRITE_FORMAT 21     /* invalid write format */
#define VEXA_E_BAD_DATE 22             /* invalid date */
#define VEXA_E_BAD_TIME 23             /* invalid time */
#define VEXA_E_WIDTH_MISMATCH 25       /* string variables of different widths */
#define VEXA_E_NO_FILE_INFO 29         /* no system file behind the handle */
#define VEXA_E_HEADER_COMMITTED 30     /* define call after the header commit */
#define VEXA_E_HEADER_NOT_COMMITTED 31 /* data call before the header commit */
#define VEXA_E_NO_RELEASE_INFO 41      /* no release information */
#define VEXA_E_BAD_DATE_VARIABLES 45   /* invalid date variables array */
#define VEXA_E_VALUE_TOO_LONG 47       /* string value longer than the variable */
#define VEXA_E_FREE_FAILED 48          /* a release call failed */
#define VEXA_E_BUFFER_TOO_SHORT 49     /* buffer not longer than the width */
#define VEXA_E_NO_CURRENT_CASE 50      /* value getter before a case was read */
#define VEXA_E_CANNOT_APPEND 52        /* file needs conversion or is byte-swapped */
#define VEXA_E_BAD_MEASURE_LEVEL 56    /* invalid measurement level */
#define VEXA_E_BAD_EXTENSION 57        /* reserved subtype or invalid data */
#define VEXA_E_BAD_VAR_HANDLE 58       /* variable handle out of range */
#define VEXA_E_BAD_ENCODING_MODE 59    /* interface encoding other than 0 or 1 */
#define VEXA_E_FILES_OPEN 60           /* setting changed while files are open */
#define VEXA_E_BAD_MULT_RESP 70        /* invalid multiple-response set */
#define VEXA_E_BAD_MULT_RESP_NAME 71   /* set name not beginning with "$" */
#define VEXA_E_DUPLICATE_MULT_RESP 72  /* set name already defined */
#define VEXA_E_BAD_SUBTYPE 73          /* extension subtype outside 0 to 40 */
#define VEXA_E_BAD_ATTRIBUTE_NAME 75   /* attribute name or subscript invalid */
#define VEXA_E_BAD_ATTRIBUTE_ARGS 76   /* attribute name or value missing */
#define VEXA_E_BAD_MULT_RESP_INDEX 77  /* no multiple-response set at that index */
#define VEXA_E_BAD_VARIABLE_SETS 78    /* invalid variable sets text */
#define VEXA_E_BAD_ROLE 79             /* invalid role */
#define VEXA_E_BAD_PASSWORD 80         /* password too long, or it does not open the file */
#define VEXA_E_NO_PASSWORD 81          /* password missing where one is required */

/* ===== Name validation results (vexaValidateVarname) ===== */

#define VEXA_NAME_OK 0          /* valid */
#define VEXA_NAME_SCRATCH 1     /* valid, begins with "#" */
#define VEXA_NAME_SYSTEM 2      /* valid, begins with "$" */
#define VEXA_NAME_BAD_LENGTH 3  /* empty or longer than 64 bytes */
#define VEXA_NAME_BAD_CHAR 4    /* a character that is not allowed */
#define VEXA_NAME_RESERVED 5    /* a reserved word */
#define VEXA_NAME_BAD_FIRST 6   /* begins with a digit, "_" or "." */

/* ===== Measurement levels, alignments and roles ===== */

#define VEXA_MEASURE_UNKNOWN 0
#define VEXA_MEASURE_NOMINAL 1
#define VEXA_MEASURE_ORDINAL 2
#define VEXA_MEASURE_SCALE 3    /* numeric variables only */
#define VEXA_MEASURE_FLAG 4
#define VEXA_MEASURE_TYPELESS 5

#define VEXA_ALIGN_LEFT 0
#define VEXA_ALIGN_RIGHT 1
#define VEXA_ALIGN_CENTER 2

#define VEXA_ROLE_INPUT 0
#define VEXA_ROLE_TARGET 1
#define VEXA_ROLE_BOTH 2
#define VEXA_ROLE_NONE 3
#define VEXA_ROLE_PARTITION 4
#define VEXA_ROLE_SPLIT 5
#define VEXA_ROLE_FREQUENCY 6
#define VEXA_ROLE_RECORD_ID 7

/* ===== Compression codes (vexaSetCompression, vexaGetCompression) =====
 * Names for the codes: an addition of this library (the standard calls give
 * only the numbers). */

#define VEXA_COMPRESSION_NONE 0
#define VEXA_COMPRESSION_BYTECODE 1
#define VEXA_COMPRESSION_ZLIB 2

/* ===== Limits ===== */

#define VEXA_MAX_FILES 100      /* simultaneously open handles */
#define VEXA_NAME_BUFFER 65     /* bytes a name buffer must hold */
#define VEXA_COMPAT_NAME_BUFFER 9
#define VEXA_MAX_STRING_WIDTH 32767

/* ===== Error detail =====
 *
 * Beyond the result codes, which stay as they are: a sentence in English
 * about the last failure of a call on the calling thread, saying what failed
 * and, for a damaged file, where (record and byte offset) and why. Each
 * later call that reports its result through a code replaces it: a call that
 * succeeds empties it, a call that fails sets its own. */

/* Copies the detail of the last failure on this thread, NUL-terminated and
 * cut at a whole character to fit, into buffer (length bytes); an empty text
 * when the last call succeeded. VEXA_E_BUFFER_TOO_SHORT for a NULL buffer or
 * a length below 1. Does not change the detail. */
VEXA_API int vexaGetLastErrorDetail(char *buffer, int length);

/* ===== Opening for reading, closing ===== */

/* Opens a system file for reading; writes the handle, or -1, to *handle.
 * Like every open of an existing file (append, and the source of a copy),
 * it first puts back a file whose append a crash interrupted (see
 * vexaOpenAppend), and gives VEXA_E_FILE_OPEN when it may not. */
VEXA_API int vexaOpenRead(const char *fileName, int *handle);
/* As vexaOpenRead, with the password of an encrypted file (ignored for a
 * plain file). A protected file is read through the cipher in place: no
 * decrypted copy and no temporary space are needed, opening reads only the
 * file's first and last blocks whatever its size, and reads decrypt only
 * the blocks they need. A handle's plain buffers are wiped at its close.
 * This departs from decrypting the whole file into a temporary copy at
 * the open; the files are the same. */
VEXA_API int vexaOpenReadEx(const char *fileName, const char *password, int *handle);
/* As vexaOpenRead with a UTF-8 file name. */
VEXA_API int vexaOpenReadU8(const char *fileName, int *handle);
/* As vexaOpenReadEx with a UTF-8 file name and password. */
VEXA_API int vexaOpenReadU8Ex(const char *fileName, const char *password, int *handle);

/* Close a handle of any mode (the three are identical). Closing a write
 * handle finishes its file; one closed before its header commit leaves no
 * file.
 *
 * Nothing written is lost silently. Closing a write or append handle
 * returns VEXA_E_FILE_WRITE (VEXA_E_NO_MEMORY when storage ran out) when the
 * file cannot be completed: a write that failed at the close, or one that
 * failed earlier (a case write that returned an error, or a buffered write
 * found failed only later). The file is then as it was before the handle
 * wrote to it: a new file is not created and an existing file of that name
 * keeps its old content; a file added to keeps exactly its earlier cases;
 * a protected file keeps its old content. The slot is freed either way. */
VEXA_API int vexaCloseRead(int handle);
VEXA_API int vexaCloseWrite(int handle);
VEXA_API int vexaCloseAppend(int handle);
/* An addition of this library, beyond the standard calls: closes a write or
 * append handle without finishing its file, for a caller that gives up on
 * what it was writing. The file is left exactly as it was before the handle
 * wrote to it (a new file is not created, a file added to keeps its earlier
 * cases and bytes, a protected file its old content), the library's
 * temporary files and journal are removed, the writer lock is released and
 * the slot freed. VEXA_E_OPENED_FOR_READ for a read handle, which stays
 * open; VEXA_E_BAD_HANDLE for a handle not open. */
VEXA_API int vexaAbandonFile(int handle);

/* ===== Opening for writing ===== */

/* One writer at a time: a write, append or copy open of an existing file
 * takes an advisory lock of the file (an open file description lock) and
 * holds it until the handle is closed. A second writer of the file, a
 * handle of this process or of another, gets VEXA_E_FILE_OPEN, whose detail
 * says that another handle or process is writing the file. Readers take no
 * lock and are never stopped. A file that does not exist yet is not
 * locked: two handles that create the same new file both write it, and the
 * one closed last wins. Other programs see the lock only if they take such
 * locks themselves. */

/* Opens a new file for writing with an empty dictionary. The file is
 * written from the header commit on as a new file in the same directory,
 * without a name (where the system allows) or under a hidden temporary one,
 * and renamed over fileName (replacing an older file of that name, or the
 * file a symbolic link of that name points at) when the handle is closed
 * successfully; until then an older file stays as it was. The new file has
 * the older one's owner (where the caller may give it), permission bits,
 * access control list and other extended attributes before anyone could
 * open it by a name. A file that replaces an older one is flushed to the
 * disk (fsync) before the rename, and the directory after it, so a crash
 * leaves the old file or the new one whole. A process that ends without
 * closing the handle leaves nothing behind, or the hidden temporary file
 * where files cannot be made without a name. */
VEXA_API int vexaOpenWrite(const char *fileName, int *handle);
/* As vexaOpenWrite with a UTF-8 file name. */
VEXA_API int vexaOpenWriteU8(const char *fileName, int *handle);
/* As vexaOpenWrite for a file encrypted with a password of 1 to 10 bytes:
 * VEXA_E_NO_PASSWORD for a missing one, VEXA_E_BAD_PASSWORD for a longer
 * one. The file is encrypted as it is written, beside fileName, and renamed
 * into place at the close under the rules above; nothing decrypted is
 * written anywhere. The bytes are those of one encryption of the whole
 * plain file. */
VEXA_API int vexaOpenWriteEx(const char *fileName, const char *password, int *handle);
VEXA_API int vexaOpenWriteU8Ex(const char *fileName, const char *password, int *handle);

/* Opens an existing file to add cases at its end; the handle takes only
 * case writes and queries. VEXA_E_CANNOT_APPEND for a file written in the
 * other byte order, or whose texts are not in the interface encoding.
 *
 * A plain file is changed in place, and a crash cannot leave it half
 * changed: from the first case written until the close completes, the bytes
 * of the old file that the append overwrites (the header's counts, the last
 * compressed block, the zlib index) are kept in a journal beside it,
 * ".NAME-journal" (NAME the file's name, a symbolic link followed), with
 * the file's permission bits, flushed to the disk before the file changes;
 * the close flushes the file and then removes the journal. The appending
 * handle holds a lock on the whole file (an open file description lock) as
 * long as the journal exists. An open of the file (read, append, copy
 * source; for a new file written over it, the header commit) that finds a
 * journal whose lock nobody holds puts the old bytes back and removes it,
 * so the file is the old one exactly, or the new one when the close had
 * completed; a journal cut short or of another file is removed. An open that may not write the file or its directory gives
 * its open code (VEXA_E_FILE_OPEN for vexaOpenRead; VEXA_E_BAD_PASSWORD for
 * any failed open of a protected file) and a detail naming the journal, and
 * changes nothing. A protected file is appended to in place the same way:
 * the append decrypts the header, the count records and the last 16-byte
 * block (whose padding gives the end), and encrypts again only the blocks
 * that change and those after them, so its cost does not grow with the
 * file, and the journal keeps the encrypted blocks it rewrites. */
VEXA_API int vexaOpenAppend(const char *fileName, int *handle);
VEXA_API int vexaOpenAppendEx(const char *fileName, const char *password, int *handle);
VEXA_API int vexaOpenAppendU8(const char *fileName, int *handle);
VEXA_API int vexaOpenAppendU8Ex(const char *fileName, const char *password, int *handle);

/* Opens a new file for writing whose dictionary starts as a copy of the
 * dictionary of dictFileName (no cases are copied). The caller may change
 * it, then commits it. A failure removes the new file. The Ex forms take the
 * new file's password (required), and the source's; ExFile a new password
 * only, ExDict the source's only. */
VEXA_API int vexaOpenWriteCopy(const char *fileName, const char *dictFileName, int *handle);
VEXA_API int vexaOpenWriteCopyU8(const char *fileName, const char *dictFileName,
                                 int *handle);
VEXA_API int vexaOpenWriteCopyEx(const char *fileName, const char *password,
                                 const char *dictFileName, const char *dictPassword,
                                 int *handle);
VEXA_API int vexaOpenWriteCopyU8Ex(const char *fileName, const char *password,
                                   const char *dictFileName, const char *dictPassword,
                                   int *handle);
VEXA_API int vexaOpenWriteCopyExFile(const char *fileName, const char *password,
                                     const char *dictFileName, int *handle);
VEXA_API int vexaOpenWriteCopyU8ExFile(const char *fileName, const char *password,
                                       const char *dictFileName, int *handle);
VEXA_API int vexaOpenWriteCopyExDict(const char *fileName, const char *dictFileName,
                                     const char *dictPassword, int *handle);
VEXA_API int vexaOpenWriteCopyU8ExDict(const char *fileName, const char *dictFileName,
                                       const char *dictPassword, int *handle);

/* Fixes a write handle's dictionary and writes it: the new file is created
 * here, beside the target until the close (see vexaOpenWrite).
 * Setters are refused afterwards, case writing is allowed. */
VEXA_API int vexaCommitHeader(int handle);
/* Chooses the compression of a new file: VEXA_COMPRESSION_NONE (0),
 * VEXA_COMPRESSION_BYTECODE (1) or VEXA_COMPRESSION_ZLIB (2); any other
 * value means VEXA_COMPRESSION_BYTECODE. A zlib file holds byte-code data
 * cut into blocks of 4,190,208 bytes, each deflated on its own (magic
 * "$FL3"). */
VEXA_API int vexaSetCompression(int handle, int compSwitch);
/* The compression of the file behind the handle (VEXA_COMPRESSION_NONE when
 * there is none). */
VEXA_API int vexaGetCompression(int handle, int *compSwitch);

/* ===== Variables ===== */

/* Number of variables in the dictionary. */
VEXA_API int vexaGetNumberofVariables(int handle, int *numVars);
/* Names and types (0 numeric, else string width) of all variables, in
 * library-allocated arrays released with vexaFreeVarNames. An empty
 * dictionary gives VEXA_E_DICTIONARY. */
VEXA_API int vexaGetVarNames(int handle, int *numVars, char ***varNames, int **varTypes);
/* Releases what vexaGetVarNames returned. */
VEXA_API int vexaFreeVarNames(char **varNames, int *varTypes, int numVars);
/* Name (buffer of VEXA_NAME_BUFFER bytes) and type of the variable at a
 * 0-based position. */
VEXA_API int vexaGetVarInfo(int handle, int iVar, char *varName, int *varType);
/* The variable handle (position plus one) of a variable, for the value
 * calls; 0.0 and VEXA_E_VAR_NOT_FOUND when absent. */
VEXA_API int vexaGetVarHandle(int handle, const char *varName, double *varHandle);
/* Appends a new variable of the given type (0 numeric, 1 to 32767 string
 * width) to a write handle's dictionary. */
VEXA_API int vexaSetVarName(int handle, const char *varName, int varType);
/* Checks a variable name; returns one of the VEXA_NAME_* results (not result
 * codes; for any but VEXA_NAME_OK the error detail says what they mean). */
VEXA_API int vexaValidateVarname(const char *varName);

/* Sets (or, with NULL or "", clears) a variable label; a label longer than
 * 256 bytes is stored cut with VEXA_W_LABEL_TRUNCATED. */
VEXA_API int vexaSetVarLabel(int handle, const char *varName, const char *varLabel);
/* Copies the label into a buffer of lenBuff bytes (cut on a whole
 * character); *lenLabel receives its length. VEXA_W_NO_LABEL when none. */
VEXA_API int vexaGetVarLabelLong(int handle, const char *varName, char *labelBuff,
                                 int lenBuff, int *lenLabel);
/* As vexaGetVarLabelLong with a buffer of 121 bytes. */
VEXA_API int vexaGetVarLabel(int handle, const char *varName, char *varLabel);

/* Formats cross as type, decimals and width. */
VEXA_API int vexaSetVarPrintFormat(int handle, const char *varName, int printType,
                                   int printDec, int printWid);
VEXA_API int vexaGetVarPrintFormat(int handle, const char *varName, int *printType,
                                   int *printDec, int *printWid);
VEXA_API int vexaSetVarWriteFormat(int handle, const char *varName, int writeType,
                                   int writeDec, int writeWid);
VEXA_API int vexaGetVarWriteFormat(int handle, const char *varName, int *writeType,
                                   int *writeDec, int *writeWid);

/* Measurement level 0 to 5 (3 for numeric variables only). */
VEXA_API int vexaSetVarMeasureLevel(int handle, const char *varName, int measureLevel);
VEXA_API int vexaGetVarMeasureLevel(int handle, const char *varName, int *measureLevel);
/* Alignment 0, 1 or 2; other values are ignored. */
VEXA_API int vexaSetVarAlignment(int handle, const char *varName, int alignment);
VEXA_API int vexaGetVarAlignment(int handle, const char *varName, int *alignment);
/* Display width in columns; 0 or less is ignored. */
VEXA_API int vexaSetVarColumnWidth(int handle, const char *varName, int columnWidth);
VEXA_API int vexaGetVarColumnWidth(int handle, const char *varName, int *columnWidth);
/* Role 0 to 7. */
VEXA_API int vexaSetVarRole(int handle, const char *varName, int varRole);
VEXA_API int vexaGetVarRole(int handle, const char *varName, int *varRole);

/* The variable's 8-byte short name (buffer of VEXA_COMPAT_NAME_BUFFER
 * bytes). */
VEXA_API int vexaGetVarCompatName(int handle, const char *longName, char *shortName);
/* Makes a numeric variable the case weight. */
VEXA_API int vexaSetCaseWeightVar(int handle, const char *varName);
/* The weight variable's name (buffer of VEXA_NAME_BUFFER bytes), or
 * VEXA_W_NO_WEIGHT. */
VEXA_API int vexaGetCaseWeightVar(int handle, char *varName);

/* ===== Value labels and missing values ===== */

/* Value labels of numeric (N) and string (C) variables. A string value is
 * taken up to the variable's width and padded with blanks, so trailing blanks
 * do not matter. A label longer than 120 bytes is stored cut on a whole
 * character with VEXA_W_VALUE_LABEL_TRUNCATED. */

/* Sets the label of one value, replacing any label it had. */
VEXA_API int vexaSetVarNValueLabel(int handle, const char *varName, double value,
                                   const char *label);
VEXA_API int vexaSetVarCValueLabel(int handle, const char *varName, const char *value,
                                   const char *label);
/* Gives every listed variable one new, shared set of numLabels labels,
 * replacing the labels they had; a later equal value replaces an earlier one.
 * String variables must all have the same width (else VEXA_E_WIDTH_MISMATCH);
 * on any error nothing changes. */
VEXA_API int vexaSetVarNValueLabels(int handle, const char **varNames, int numVars,
                                    const double *values, const char **labels,
                                    int numLabels);
VEXA_API int vexaSetVarCValueLabels(int handle, const char **varNames, int numVars,
                                    const char **values, const char **labels,
                                    int numLabels);
/* Copies the label of one value into a buffer of lenBuff (at least 1) bytes,
 * cut on a whole character, the rest of the buffer set to NUL; *lenLabel
 * receives the copied length. VEXA_W_NO_VALUE_LABELS when the variable has
 * none, VEXA_W_NO_LABEL when the value has none. */
VEXA_API int vexaGetVarNValueLabelLong(int handle, const char *varName, double value,
                                       char *labelBuff, int lenBuff, int *lenLabel);
VEXA_API int vexaGetVarCValueLabelLong(int handle, const char *varName,
                                       const char *value, char *labelBuff, int lenBuff,
                                       int *lenLabel);
/* As the Long forms with a buffer of 61 bytes (at most 60 bytes of label). */
VEXA_API int vexaGetVarNValueLabel(int handle, const char *varName, double value,
                                   char *label);
VEXA_API int vexaGetVarCValueLabel(int handle, const char *varName, const char *value,
                                   char *label);
/* All labels of a variable in library-allocated arrays, released with the
 * matching free call. String values come as width + 1 byte buffers holding
 * the blank-padded value. VEXA_W_NO_VALUE_LABELS when there are none. */
VEXA_API int vexaGetVarNValueLabels(int handle, const char *varName, double **values,
                                    char ***labels, int *numLabels);
VEXA_API int vexaGetVarCValueLabels(int handle, const char *varName, char ***values,
                                    char ***labels, int *numLabels);
VEXA_API int vexaFreeVarNValueLabels(double *values, char **labels, int numLabels);
VEXA_API int vexaFreeVarCValueLabels(char **values, char **labels, int numLabels);

/* Missing values of a numeric variable: missingFormat 0 none; 1 to 3 that
 * many discrete values; -2 the range missingVal1 to missingVal2; -3 that
 * range and the discrete value missingVal3. A range's low must not exceed
 * its high (else VEXA_E_BAD_MISSING_VALUES). */
VEXA_API int vexaSetVarNMissingValues(int handle, const char *varName, int missingFormat,
                                      double missingVal1, double missingVal2,
                                      double missingVal3);
VEXA_API int vexaGetVarNMissingValues(int handle, const char *varName, int *missingFormat,
                                      double *missingVal1, double *missingVal2,
                                      double *missingVal3);
/* Missing values of a string variable: 0 to 3 texts, each stored as 8 bytes
 * (cut, or padded with blanks). The getter's buffers must hold 9 bytes each;
 * they receive min(width, 8) bytes and a NUL. */
VEXA_API int vexaSetVarCMissingValues(int handle, const char *varName, int missingFormat,
                                      const char *missingVal1, const char *missingVal2,
                                      const char *missingVal3);
VEXA_API int vexaGetVarCMissingValues(int handle, const char *varName, int *missingFormat,
                                      char *missingVal1, char *missingVal2,
                                      char *missingVal3);

/* ===== Cases ===== */

/* Reads the next case into the handle's case buffer, from which the value
 * getters copy. VEXA_W_END_OF_DATA when no case is left. */
VEXA_API int vexaReadCaseRecord(int handle);
/* Reads the next case into the caller's memory (vexaGetCaseSize bytes, laid
 * out as the case buffer); the value getters then have no current case. */
VEXA_API int vexaWholeCaseIn(int handle, void *caseRec);
/* Addition to the standard calls: reads up to maxCases next cases into the
 * caller's memory, one after another, each laid out as vexaWholeCaseIn lays
 * it out (vexaGetCaseSize bytes); *casesRead receives how many arrived.
 * VEXA_OK when all maxCases were read, VEXA_W_END_OF_DATA when the data ended
 * first, or the code of the failing read; the cases before an end or a
 * failure are delivered and counted. One call in place of many saves a
 * caller from other languages the cost of a foreign call per case. */
VEXA_API int vexaWholeCasesIn(int handle, void *caseRecs, int maxCases, int *casesRead);
/* Options of vexaWholeCasesInEx, to be added together. */
#define VEXA_CASES_NAN_FOR_SYSMIS 1 /* system-missing numbers arrive as a quiet NaN */
/* Addition to the standard calls: vexaWholeCasesIn with options; 0 reads
 * exactly as vexaWholeCasesIn does. With VEXA_CASES_NAN_FOR_SYSMIS the
 * numeric values that are system-missing arrive as a quiet NaN, so that a
 * caller computing on the cases needs no pass of its own; string values
 * arrive as they are. An unknown option gives VEXA_E_FILE_READ. */
VEXA_API int vexaWholeCasesInEx(int handle, void *caseRecs, int maxCases, int options,
                               int *casesRead);
/* Addition to the standard calls: reads up to maxCases next cases, delivering
 * only the chosen variables, each into its own array: columns[k] receives the
 * values of variable varHandles[k] (a handle from vexaGetVarHandle; a
 * variable may be chosen twice), case after case. A number takes one double
 * a case; a string exactly its width in bytes a case (vexaGetVarInfo's width,
 * blank-padded as stored, no NUL), so a string of width w is an array of
 * w-byte texts. Options, results and *casesRead as for vexaWholeCasesInEx;
 * numVars 0 passes over cases. A bad variable handle gives
 * VEXA_E_BAD_VAR_HANDLE, a null array VEXA_E_FILE_READ. */
VEXA_API int vexaColumnsIn(int handle, int numVars, const double *varHandles,
                           void *const *columns, int maxCases, int options, int *casesRead);
/* A string variable's texts delivered grouped by vexaGroupedColumnsIn: texts
 * is room for maxTexts texts of the variable's width, one after another, of
 * which the first count are the variable's distinct texts from earlier calls
 * (0 at first). plain is room for maxCases texts of the width. Each group
 * has memory of its own. */
typedef struct VexaTextGroup {
  char *texts;
  int maxTexts;
  int count;
  char *plain;
} VexaTextGroup;
/* Addition to the standard calls: vexaColumnsIn, but a string variable k
 * whose groups[k].texts is not null arrives as codes: columns[k] receives a
 * 32-bit integer a case (in the machine's byte order), the number of its
 * text among groups[k].texts, a text not there being added after them, and
 * groups[k].count then holds how many there are. When a case brings one
 * text more than maxTexts, the variable falls back: count becomes -1, the
 * codes of the call mean nothing, and all the call's texts of the variable
 * arrive in groups[k].plain as vexaColumnsIn delivers them; the caller
 * reads on without grouping it. Passing the texts and count back in the next
 * call goes on with the same codes, so a column read in many calls has one
 * set of codes. groups may be null, or a group's texts null, for variables
 * read as vexaColumnsIn reads them; a number grouped, a count outside 0 to
 * maxTexts or a null plain gives VEXA_E_FILE_READ. The counts are updated
 * also when a damaged case ends the call. One reading in place of texts
 * copied out and compared by the caller saves most of a text column's cost
 * where it holds few distinct texts. */
VEXA_API int vexaGroupedColumnsIn(int handle, int numVars, const double *varHandles,
                                  void *const *columns, VexaTextGroup *groups, int maxCases,
                                  int options, int *casesRead);
/* Makes the next read deliver case caseNumber (counted from 0). */
VEXA_API int vexaSeekNextCase(int handle, int caseNumber);
/* Addition to the standard calls: *position receives where the case that the
 * next read delivers begins in the file's case data, a number that means
 * something only to vexaSeekCasePosition on the same file. On compressed data
 * finding it walks over the cases before it (without decoding their values),
 * as reading them would. Beyond the last case it gives the end of the data. */
VEXA_API int vexaGetCasePosition(int handle, long long *position);
/* Addition to the standard calls: makes the next read deliver case caseNumber,
 * which begins at position as vexaGetCasePosition gave it for this file, at
 * once: on compressed data no case before it is read. A position that was not
 * so given reads other values or ends the data early, safely. Lets several
 * readers of one compressed file each start at their own range.
 * VEXA_E_FILE_READ for a negative case number or position. */
VEXA_API int vexaSeekCasePosition(int handle, long long caseNumber, long long position);
/* The value of a numeric variable in the current case; varHandle comes from
 * vexaGetVarHandle. */
VEXA_API int vexaGetValueNumeric(int handle, double varHandle, double *value);
/* The value of a string variable in the current case: exactly its width in
 * bytes (trailing blanks included) and a NUL; valueLen must exceed the
 * width. */
VEXA_API int vexaGetValueChar(int handle, double varHandle, char *value, int valueLen);
/* Set a value of the case being built on a write or append handle; a new
 * case starts with every value missing (system-missing, blanks). */
VEXA_API int vexaSetValueNumeric(int handle, double varHandle, double value);
VEXA_API int vexaSetValueChar(int handle, double varHandle, const char *value);
/* Writes the case being built (values not set are missing) and starts a new
 * one. Cases are written in buffers, so the failure of a write is found by
 * the call that writes the buffer out, a later one, or by the close.
 * VEXA_E_FILE_WRITE once any write of the handle has failed: from then on
 * every case write returns it (or VEXA_E_NO_MEMORY when storage ran out), and
 * so does the close, which leaves the file as it was (see vexaCloseWrite). */
VEXA_API int vexaCommitCaseRecord(int handle);
/* Writes a case from the caller's memory, laid out as the case buffer
 * (vexaGetCaseSize bytes). Failures as for vexaCommitCaseRecord. */
VEXA_API int vexaWholeCaseOut(int handle, const void *caseRec);
/* Addition to the standard calls: writes numCases cases from the caller's
 * memory, one after another, each laid out as for vexaWholeCaseOut;
 * *casesWritten receives how many were written (those before a failure).
 * Failures as for vexaCommitCaseRecord; a negative count gives
 * VEXA_E_FILE_WRITE. One call in place of many saves a caller from other
 * languages the cost of a foreign call per case. */
VEXA_API int vexaWholeCasesOut(int handle, const void *caseRecs, int numCases,
                               int *casesWritten);
/* Addition to the standard calls: writes numCases cases whose values come
 * from one array per variable, the variables given by their handles. A
 * numeric variable's array holds one double per case (a NaN is written as
 * system-missing); a string variable's array holds, per case, exactly the
 * variable's width in bytes, blank-padded, with no terminator. Variables
 * not named are written missing (system-missing, blanks); a variable named
 * twice takes its last array. *casesWritten receives how many were written
 * (after a failure, at most those before it; the cases go to the file
 * together, a batch at a time); failures as for vexaWholeCasesOut (an
 * unknown variable handle gives
 * VEXA_E_BAD_VAR_HANDLE before any case is written). */
VEXA_API int vexaColumnsOut(int handle, int numVars, const double *varHandles,
                            const void *const *columns, int numCases, int *casesWritten);

/* The number of cases, -1 when the file does not record it (or it exceeds
 * the int range); VEXA_E_OPENED_FOR_WRITE on a write handle. */
VEXA_API int vexaGetNumberofCases(int handle, int *numCases);
/* Identical to vexaGetNumberofCases. */
VEXA_API int vexaGetEstimatedNofCases(int handle, int *caseCount);
/* The size of one case in bytes (8 per numeric, 8 per started 8 bytes of a
 * string). */
VEXA_API int vexaGetCaseSize(int handle, int *caseSize);

/* The system-missing value: the most negative finite double. */
VEXA_API double vexaSysmisVal(void);
/* Stores the system-missing value. */
VEXA_API int vexaHostSysmisVal(double *missing);
/* Stores the lowest ordinary value (the double above system-missing) and the
 * highest value (the largest finite double). */
VEXA_API int vexaLowHighVal(double *lowest, double *highest);

/* ===== File information, extension records, dates and times ===== */

#define VEXA_ID_STRING_BUFFER 65  /* bytes for a file label read from a file */
#define VEXA_DATE_BUFFER 10       /* bytes for "dd-Mon-yy" */
#define VEXA_TIME_BUFFER 9        /* bytes for "hh:mm:ss" */
#define VEXA_TEXT_INFO_BUFFER 256 /* bytes for vexaGetTextInfo */

/* Sets the file label of a new file (cut to 64 bytes, on a whole character,
 * when written); NULL removes it. */
VEXA_API int vexaSetIdString(int handle, const char *id);
/* Copies the file label with its NUL; a file without one gives an empty text
 * and VEXA_OK. */
VEXA_API int vexaGetIdString(int handle, char *id);
/* The creation date ("01-Jan-70") and time ("13:45:10"); a file committed
 * through a write handle reports what its header holds. */
VEXA_API int vexaGetTimeStamp(int handle, char *fileDate, char *fileTime);
/* The product text of the header from its 21st byte on (empty when shorter);
 * VEXA_E_NO_FILE_INFO without a system file behind the handle. */
VEXA_API int vexaGetSystemString(int handle, char *sysName);
/* The release numbers (major, minor, revision) into relInfo[0..2]; zeros on
 * a write handle, VEXA_E_NO_RELEASE_INFO for a file without them. */
VEXA_API int vexaGetReleaseInfo(int handle, int *relInfo);

/* Whether the file read held an extension record of subtype 0 to 40
 * (*found 1 or 0); VEXA_E_OPENED_FOR_WRITE on a write handle. */
VEXA_API int vexaQueryType7(int handle, int subType, int *found);
/* Element size and count of the record of a caller subtype (1, 2, 8, 10, 12,
 * 15, 23 to 40; others give VEXA_E_BAD_EXTENSION), both 0 when absent. */
VEXA_API int vexaGetExtensionDataDesc(int handle, int subType, int *elementSize,
                                      int *elementCount);
/* Delivers the next whole elements of a record that fit into bufferSize
 * bytes and reports their number; after the last, the next call starts
 * again from the first element. */
VEXA_API int vexaGetExtensionData(int handle, int subType, int bufferSize,
                                  int *elementsDelivered, void *buffer);
/* Replaces the record of a caller subtype by elementCount elements of
 * elementSize bytes, or removes it (count 0 or NULL data); the file receives
 * it at the header commit. */
VEXA_API int vexaSetExtensionData(int handle, int subType, int elementSize,
                                  int elementCount, const void *data);
/* Stores the text information record; NULL or "" removes it. */
VEXA_API int vexaSetTextInfo(int handle, const char *textInfo);
/* Copies up to 255 bytes of the text information record, NUL-terminated,
 * into a buffer of VEXA_TEXT_INFO_BUFFER bytes. */
VEXA_API int vexaGetTextInfo(int handle, char *textInfo);
/* Gives a new file (toHandle, before its commit) the documents of fromHandle,
 * or none when fromHandle has none. */
VEXA_API int vexaCopyDocuments(int fromHandle, int toHandle);
/* Sets VEXATMPDIR in the process environment: the directory of the
 * library's temporary files. It counts until the library first needs one
 * (protected files need none), when it makes a directory of its
 * own in it, owner-only, "vexa<pid>" (or "vexa<pid>.XXXXXX" when that name
 * is taken by anything it cannot trust), and points TMP at it once, under
 * its own lock; no thread of the library reads the environment then, but
 * the caller's threads that read it should not run at that moment. The
 * directory is removed, and TMP restored, when the library is unloaded, by
 * the process that made it only. When no directory can be made, the open
 * that needed it fails with its code and a detail naming each directory
 * tried and why. */
VEXA_API int vexaSetTempDir(const char *dirName);

/* Chooses how texts cross the interface: 0 in the current code page (the
 * default), 1 in UTF-8. VEXA_E_BAD_ENCODING_MODE for another value,
 * VEXA_E_FILES_OPEN (and no change) while any handle is open. */
VEXA_API int vexaSetInterfaceEncoding(int encoding);
/* The interface encoding: 1 in UTF-8 mode, else 0. */
VEXA_API int vexaGetInterfaceEncoding(void);

/* Encodings. A file records the encoding of its texts; a file written takes
 * the interface encoding. A file read whose encoding differs is presented in
 * the interface encoding where the library can bridge the two: in UTF-8
 * mode a code-page file (string widths then triple, up to 32767), in
 * code-page mode a UTF-8 file; characters that do not convert become "?",
 * and values are cut on whole characters where they do not fit. In
 * code-page mode a file in another code page is read as it is.
 *
 * The current code page, the encoding of code-page mode texts, starts as
 * the codeset of the locale that the library finds when it is loaded (where
 * the environment gives the C or POSIX locale, the library sets C.UTF-8 and
 * puts LC_ALL=C.UTF-8 into the environment). File names are handed to the
 * system as UTF-8: the name given to an open call without U8 in its name is
 * text in the current code page, in either mode, and is converted first. */

#define VEXA_ENCODING_BUFFER 64 /* bytes for vexaGetFileEncoding */

/* The name of the encoding of the file's texts, NUL-terminated and cut to
 * VEXA_ENCODING_BUFFER - 1 bytes: for a file read, the name its encoding
 * record gives (when the library knows it), else the name of the code page
 * of its character code, else the current code page's; for a new file, the
 * interface encoding it is written in. */
VEXA_API int vexaGetFileEncoding(int handle, char *encoding);
/* The code page number of the file's encoding (1252 for windows-1252, 65001
 * for UTF-8); VEXA_E_NO_FILE_INFO when the encoding has none. */
VEXA_API int vexaGetFileCodePage(int handle, int *codePage);
/* *compatible is 1 when the file's texts are in the interface encoding and
 * the file is in this machine's byte order, else 0. */
VEXA_API int vexaIsCompatibleEncoding(int handle, int *compatible);
/* Sets the runtime library's locale for a category (as setlocale does; NULL
 * queries) and returns the locale text in effect, owned by the library and
 * valid as said below, or NULL when the locale was refused (nothing
 * changes then). Setting LC_ALL or LC_CTYPE to a locale with a codeset
 * ("de_DE.ISO-8859-1") makes that codeset the current code page. While any
 * handle is open nothing changes and the category's setting is returned.
 * The text returned stays valid until the next call on the same thread. */
VEXA_API const char *vexaSetLocale(int category, const char *locale);
/* An addition of this library: makes an encoding, given by name
 * ("windows-1252", "Shift_JIS") or as a code page number ("1252"), the
 * current code page, without changing the locale. VEXA_E_FILES_OPEN (and
 * no change) while any handle is open; VEXA_E_BAD_ENCODING_MODE when the
 * library knows no such encoding. */
VEXA_API int vexaSetCodePage(const char *encoding);

/* Documents: an addition of this library. The standard calls only copy
 * documents between handles (vexaCopyDocuments); these two read and set
 * them. Documents are lines of exactly VEXA_DOCUMENT_LINE bytes, padded with
 * blanks, one after another without terminators, as the file holds them. */
#define VEXA_DOCUMENT_LINE 80
/* Stores the number of lines in *numLines and copies as many whole lines as
 * fit into bufferSize bytes of buffer (none, and buffer may be NULL, when
 * bufferSize is below 80). */
VEXA_API int vexaGetDocuments(int handle, char *buffer, int bufferSize, int *numLines);
/* Replaces the documents of a new file (before its header commit) by
 * numLines lines of 80 bytes from lines; 0 lines removes them. A negative
 * count, or NULL lines with a positive one, gives VEXA_E_BAD_EXTENSION. */
VEXA_API int vexaSetDocuments(int handle, const char *lines, int numLines);

/* A date value (seconds since 14 October 1582) from a calendar date between
 * 14 October 1582 and 31 December 9999; VEXA_E_BAD_DATE otherwise. */
VEXA_API int vexaConvertDate(int day, int month, int year, double *vexaDate);
/* The calendar date of a date value (its fraction of a day ignored);
 * VEXA_E_BAD_DATE for a negative value. */
VEXA_API int vexaConvertVEXADate(int *day, int *month, int *year, double vexaDate);
/* A time value in seconds from a span: days >= 0, hours 0-23, minutes 0-59,
 * 0 <= seconds < 60; VEXA_E_BAD_TIME otherwise. */
VEXA_API int vexaConvertTime(int day, int hour, int minute, double second,
                             double *vexaTime);
/* Days, hours, minutes and seconds (fraction kept) of a time value;
 * VEXA_E_BAD_TIME for a negative value. */
VEXA_API int vexaConvertVEXATime(int *day, int *hour, int *minute, double *second,
                                 double vexaTime);

/* ===== Library version and result texts =====
 *
 * Additions of this library, beyond the standard calls. */

/* The version of this header. A program may be run with a later library of
 * the same major version; vexaGetLibraryVersion tells which one it got. */
#define VEXA_VERSION_MAJOR 0
#define VEXA_VERSION_MINOR 1
#define VEXA_VERSION_PATCH 0

/* The version of the library loaded at run time, into whichever of the three
 * pointers is not NULL. Always VEXA_OK. */
VEXA_API int vexaGetLibraryVersion(int *major, int *minor, int *patch);
/* A static, NUL-terminated text for a result code: its name as in this
 * header, a colon and a short sentence in English, for example
 * "VEXA_E_BAD_HANDLE: the handle is not open". A number that is no result
 * code gives a text beginning "unknown:". Never NULL; never to be freed. */
VEXA_API const char *vexaResultText(int code);

/* ===== Attributes =====
 * The data file and every variable carry an ordered set of named attributes,
 * each with one or more text values. Getters hand out an attribute with one
 * value under its name and one with n >= 2 values as name[k] per non-empty
 * value, k zero-padded to the digits of n (name[01] .. name[12]); empty
 * values are not handed out. The two arrays and every text belong to the
 * caller, released with vexaFreeAttributes; no attribute gives VEXA_OK, NULL
 * arrays and a count of 0.
 *
 * Names given by callers are a variable name, or one of the reserved names
 * beginning with "$" (any letter case; "$@Role" and "$@MeasurementLevel"
 * among those of variables), optionally followed by a subscript [k], 1 <= k
 * <= 2147483646; a name whose first "." or first "_" is its last character
 * is refused. A bad name gives VEXA_E_BAD_ATTRIBUTE_NAME. A variable's
 * role and measurement levels 4 and 5 travel in the file as its attributes
 * "$@Role", "$@ExtendRole" and "$@MeasurementLevel". */
VEXA_API int vexaGetFileAttributes(int handle, char ***attribNames, char ***attribText,
                                   int *nAttributes);
/* As vexaGetFileAttributes, for one variable (VEXA_E_VAR_NOT_FOUND). */
VEXA_API int vexaGetVarAttributes(int handle, const char *varName, char ***attribNames,
                                  char ***attribText, int *nAttributes);
/* Replace the whole attribute set by the entries given (entries with a NULL
 * or empty name or value are skipped; name[k] sets value k, adding empty
 * values before it). A positive count with a NULL array gives
 * VEXA_E_BAD_ATTRIBUTE_ARGS; a bad name stops the call and keeps the old
 * set. */
VEXA_API int vexaSetFileAttributes(int handle, const char **attribNames,
                                   const char **attribText, int nAttributes);
VEXA_API int vexaSetVarAttributes(int handle, const char *varName, const char **attribNames,
                                  const char **attribText, int nAttributes);
/* Set one attribute: subscript -1 makes the value its only value, k >= 1
 * sets value k. A NULL or empty name or value, or another subscript, gives
 * VEXA_E_BAD_ATTRIBUTE_ARGS; the name takes no [k] here. */
VEXA_API int vexaAddFileAttribute(int handle, const char *attribName, int attribSub,
                                  const char *attribText);
VEXA_API int vexaAddVarAttribute(int handle, const char *varName, const char *attribName,
                                 int attribSub, const char *attribText);
/* Releases what an attribute getter handed out (nothing for a count below 1). */
VEXA_API int vexaFreeAttributes(char **attribNames, char **attribText, int nAttributes);

/* ===== Multiple-response sets and variable sets =====
 * Sets are handed out and taken in as lines, each ending with a line feed:
 *   categories    $name=C <n> <label> V1 V2 ...
 *   dichotomies   $name=D<n> <counted value> <n> <label> V1 V2 ...
 *   extended      $name=E <flags> <n> <counted value> <n> <label> V1 V2 ...
 *   variable set  name= V1 V2 ...
 * where <n> is the byte length of what follows it. Texts handed out belong
 * to the caller and are released with the matching free call. The sets are
 * written at the header commit. */

/* A multiple-response set as a record. Strings handed out in it (counted
 * value, variable names) belong to the record; vexaFreeMultRespDefStruct
 * releases it with them. */
typedef struct VEXA_MultRespDef {
  char name[65];            /* begins with "$" */
  char label[257];
  int isDichotomy;          /* 1: dichotomies, 0: categories */
  int numericCounted;       /* dichotomies: the counted value is a number */
  int extended;             /* dichotomies: an extended set */
  int labelFromVariables;   /* dichotomies, extended only: label from variables */
  int reserved[14];
  int countedInt;           /* the numeric counted value */
  char *countedValue;       /* the counted value as text */
  char **varNames;
  int varCount;
} VEXA_MultRespDef;

VEXA_API int vexaGetMultRespCount(int handle, int *count);
/* All sets of categories and plain dichotomies as lines; VEXA_W_NO_MULT_RESP
 * when there is none. The Ex form hands out the extended sets too. */
VEXA_API int vexaGetMultRespDefs(int handle, char **mrespDefs);
VEXA_API int vexaGetMultRespDefsEx(int handle, char **mrespDefs);
/* Replaces every multiple-response set by the lines given (C and D lines,
 * each with at least one variable; a name given twice keeps the last; a
 * carriage return before a line feed ends the line too).
 * VEXA_E_BAD_MULT_RESP, and no change, for a line that does not parse or
 * that names a variable the handle does not have (the file could not hold
 * it). */
VEXA_API int vexaSetMultRespDefs(int handle, const char *mrespDefs);
VEXA_API int vexaFreeMultRespDefs(char *mrespDefs);
/* The set at index (0 to count - 1, else VEXA_E_BAD_MULT_RESP_INDEX and
 * NULL) as a new record; name and label cut to their fields on whole
 * characters. */
VEXA_API int vexaGetMultRespDefByIndex(int handle, int index, VEXA_MultRespDef **def);
VEXA_API int vexaFreeMultRespDefStruct(VEXA_MultRespDef *def);
/* Adds a set: VEXA_E_BAD_MULT_RESP_NAME unless the name begins with "$" and
 * is otherwise valid, VEXA_E_DUPLICATE_MULT_RESP for a name in use,
 * VEXA_E_BAD_MULT_RESP for no variables, an unknown variable, variables of
 * the wrong type (numeric for a numeric counted value, strings for a text
 * one, all of one type in a set of categories), an empty text counted value
 * or flags that do not fit the kind of set. Line feeds in the label and the
 * counted value are left out (the file holds one line per set). */
VEXA_API int vexaAddMultRespDefExt(int handle, const VEXA_MultRespDef *def);
/* As vexaAddMultRespDefExt with a text or a numeric counted value (ignored
 * for categories). */
VEXA_API int vexaAddMultRespDefC(int handle, const char *mrSetName, const char *mrSetLabel,
                                 int isDichotomy, const char *countedValue,
                                 const char **varNames, int numVars);
VEXA_API int vexaAddMultRespDefN(int handle, const char *mrSetName, const char *mrSetLabel,
                                 int isDichotomy, long countedValue, const char **varNames,
                                 int numVars);
/* The variable sets with at least one variable, as lines;
 * VEXA_W_NO_VARIABLE_SETS when there is none. */
VEXA_API int vexaGetVariableSets(int handle, char **varSets);
/* Replaces the variable sets by the lines given (NULL or empty removes
 * them; a carriage return before a line feed ends the line too);
 * VEXA_E_BAD_VARIABLE_SETS, and no change, for a bad line or one that names
 * a variable the handle does not have. */
VEXA_API int vexaSetVariableSets(int handle, const char *varSets);
VEXA_API int vexaFreeVariableSets(char *varSets);

/* ===== Date variables and the KVT block =====
 * Date variables information as an array of integers: entries 0-5 a flag
 * (1 or 0), a number paired with it, the count n of date variables (at most
 * 10), a pair of numbers, and (handed out only) 1 when n > 0; then one
 * triple per date variable and one for the date key: the variable's case
 * position (0-based) plus one, its date type, a third number. The
 * information names variables by identity: when at the header commit it no
 * longer fits the dictionary (a variable gone or renamed), it is dropped. */
/* 9 + 3n entries, released with vexaFreeDateVariables; VEXA_W_NO_DATE_INFO
 * when there is none, VEXA_E_OPENED_FOR_WRITE on a write handle. */
VEXA_API int vexaGetDateVariables(int handle, int *numofElements, int **dateInfo);
/* numofElements must be 3n + 6 or 3n + 9 and every triple must name a
 * variable fit for its type, else VEXA_E_BAD_DATE_VARIABLES and no change.
 * The pair is stored from entries 4 and 3 in that order, so the getter
 * hands it out swapped. */
VEXA_API int vexaSetDateVariables(int handle, int numofElements, const int *dateInfo);
VEXA_API int vexaFreeDateVariables(int *dateInfo);

/* The KVT block kept for a companion data-entry application: the GUID text
 * (subtype 12, at most 256 bytes; the buffer takes 257) and a data block
 * (subtype 8). vexaSetKVTFirst replaces the block, vexaSetKVTNext appends to
 * it (VEXA_W_NO_KVT_INFO, and no change, without a stored block).
 * vexaGetKVTInfo reports the block's length and the 32-bit number in its
 * last four bytes; it and vexaGetKVTFirst give VEXA_W_NO_KVT_INFO for no
 * block, a file of the other byte order or in a converted encoding.
 * vexaGetKVTFirst delivers from the first byte, vexaGetKVTNext continues.
 *
 * Subtypes 23 to 25 (sort key, data entry formatting, extended formats) are
 * read into the dictionary and also kept raw. At the commit the library's
 * own record for such a subtype wins; contents set with
 * vexaSetExtensionData are written only when the library has none of its
 * own, and only when they read back as a valid record (else they are left
 * out). */
VEXA_API int vexaSetKVTGUID(int handle, const char *guid);
VEXA_API int vexaGetKVTGUID(int handle, char *guid);
VEXA_API int vexaGetKVTInfo(int handle, int *length, int *trailing);
VEXA_API int vexaSetKVTFirst(int handle, const void *data, int length);
VEXA_API int vexaSetKVTNext(int handle, const void *data, int length);
VEXA_API int vexaGetKVTFirst(int handle, void *buffer, int bufferSize, int *delivered);
VEXA_API int vexaGetKVTNext(int handle, void *buffer, int bufferSize, int *delivered);

/* ===== Addition: the blocks of a zlib file =====
 * Not one of the reference interface's calls; added for `vexa info`. */
/* For a zlib file (compression 2) opened for reading or appending: the
 * number of its zlib blocks, the bytes of case data they hold and the bytes
 * of their zlib streams (the ratio of the two is the compression ratio);
 * 0, 0 and 0 for any other file or handle. A NULL pointer is skipped. */
VEXA_API int vexaGetZlibBlockInfo(int handle, long long *blocks, long long *caseDataBytes,
                                  long long *compressedBytes);

#ifdef __cplusplus
}
#endif

#endif /* VEXAIO_H_ */
