/*
 * sxplugin.h - the SXEngine plug-in interface.
 *
 * The one header a plug-in author needs. It compiles as C (C11) and as C++.
 *
 * A plug-in is a DLL (on the Linux host: an ELF shared object that keeps its ".dll" name) that
 * exports two things:
 *
 *   void SX_STDCALL GetPluginInfo(SxPluginInfo* info);
 *       Exported by exactly this name. The engine zero-fills the record, sets InterfaceMark and
 *       calls it once right after loading the DLL. The plug-in fills in RequiredVersion, ID and
 *       EventHandler (and, if it likes, the fields the engine does not read).
 *
 *   intptr_t SX_STDCALL EventHandler(int32_t number, const char* name, intptr_t param1,
 *                                    intptr_t param2);
 *       Named by SxPluginInfo.EventHandler. Receives every event (EV_*) and every message other
 *       plug-ins forward; `name` is the message's registered name. The reply is a number or a
 *       pointer, depending on the event.
 *
 * The engine accepts a plug-in when RequiredVersion is not above SX_ENGINE_VERSION, Reserved is
 * 0, EventHandler is set and ID names a plug-in item of the project. It then sends
 * EV_SETSTARTUPINFO (with the SxStartupInfo that holds the plug-in's number and the engine's
 * entry points), EV_LOAD (a non-zero reply declines) and EV_LANGUAGECHANGED.
 *
 * The plug-in acts on the engine through the three entry points of SxStartupInfo:
 * RegisterMessage, SendCommand and SendCommandByName. Commands (CM_*) that return a text or a
 * record use the size protocol: called with a nil buffer they return the number of bytes
 * needed; called again with a buffer of that size they fill it and return 0. They return 0 in
 * both cases when there is nothing to return. Records begin with a table of pointer-sized slots
 * followed, inside the same buffer, by the texts the slots point to.
 *
 * Texts are 8-bit ANSI and NUL-terminated.
 *
 * Width of the interface: every slot that the interface of 32-bit Windows defines as a 32-bit
 * pointer or number is pointer-sized here (intptr_t, or a pointer type): Param1, Param2, replies
 * and the slots of every record. On a 32-bit build every record therefore has exactly the size and
 * the offsets of the 32-bit interface (checked below); on a 64-bit build the slots are 8 bytes
 * wide. Records are packed (no padding). SX_STDCALL is the stdcall convention on 32-bit Windows
 * and empty elsewhere.
 */
#ifndef SXPLUGIN_H
#define SXPLUGIN_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32) && !defined(_WIN64)
#  if defined(_MSC_VER)
#    define SX_STDCALL __stdcall
#  else
#    define SX_STDCALL __attribute__((stdcall))
#  endif
#else
#  define SX_STDCALL
#endif

/* Marks the two exports of a plug-in:
 *   SX_EXTERN_C SX_PLUGIN_EXPORT void SX_STDCALL GetPluginInfo(SxPluginInfo* info) { ... } */
#if defined(_WIN32)
#  define SX_PLUGIN_EXPORT __declspec(dllexport)
#elif defined(__GNUC__)
#  define SX_PLUGIN_EXPORT __attribute__((visibility("default")))
#else
#  define SX_PLUGIN_EXPORT
#endif

#ifdef __cplusplus
#  define SX_EXTERN_C extern "C"
#  define SX_STATIC_ASSERT(condition, message) static_assert(condition, message)
#else
#  define SX_EXTERN_C
#  define SX_STATIC_ASSERT(condition, message) _Static_assert(condition, message)
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- versions and fixed numbers ------------------------------------------------------------- */

#define SX_INTERFACE_MARK 0x00010000  /* first field of SxPluginInfo and SxStartupInfo */
#define SX_ENGINE_VERSION 0x00030400  /* the engine's version; plug-ins may not ask for more */
#define SX_ID_SIZE 261                /* ID and path fields: 260 characters and the NUL */
#define SX_PACKAGE_FOLDER_SIZE 260    /* the folder buffer of EV_GETPACKAGE */
#define SX_STATUS_TEXT_TIME 750       /* Param2 of CM_SHOWSTATUSTEXT as the engine sends it */
#define SX_FIRST_REGISTERED_MESSAGE 4096  /* numbers of names registered at run time start here */

/* ---- the message table: events 1-23, commands 256-282 ----------------------------------------
 * SX_MESSAGE_LIST(X) calls X(name, number) for each of the 50 messages the engine knows from the
 * start, in order. */
#define SX_MESSAGE_LIST(X)            \
  X(EV_SETSTARTUPINFO, 1)             \
  X(EV_LOAD, 2)                       \
  X(EV_UNLOAD, 3)                     \
  X(EV_START, 4)                      \
  X(EV_FINISH, 5)                     \
  X(EV_SHOWDIALOGS, 6)                \
  X(EV_LANGUAGECHANGED, 7)            \
  X(EV_BEFOREINSTALL, 8)              \
  X(EV_AFTERINSTALL, 9)               \
  X(EV_BEFOREPROCESSITEMS, 10)        \
  X(EV_AFTERPROCESSITEMS, 11)         \
  X(EV_BEFOREPROCESSITEM, 12)         \
  X(EV_AFTERPROCESSITEM, 13)          \
  X(EV_PROCESSITEM, 14)               \
  X(EV_FILEINSTALLPROGRESS, 15)       \
  X(EV_FEATURESTATECHANGED, 16)       \
  X(EV_INSTALLTYPECHANGED, 17)        \
  X(EV_VERSIONCONFLICT, 18)           \
  X(EV_GETPACKAGE, 19)                \
  X(EV_CHECKLAUNCHCONDITIONS, 20)     \
  X(EV_CALCFUNCTION, 21)              \
  X(EV_QUERYREBOOT, 22)               \
  X(EV_ABORTINSTALL, 23)              \
  X(CM_ABORTINSTALL, 256)             \
  X(CM_SUSPENDINSTALL, 257)           \
  X(CM_RESUMEINSTALL, 258)            \
  X(CM_PARSETEXT, 259)                \
  X(CM_GETLANGUAGE, 260)              \
  X(CM_SETLANGUAGE, 261)              \
  X(CM_GETVARIABLE, 262)              \
  X(CM_SETVARIABLE, 263)              \
  X(CM_GETFEATURE, 264)               \
  X(CM_GETFEATURESTATE, 265)          \
  X(CM_SETFEATURESTATE, 266)          \
  X(CM_GETINSTALLTYPE, 267)           \
  X(CM_SETINSTALLTYPE, 268)           \
  X(CM_SETPASSWORD, 269)              \
  X(CM_GETPCPARAM, 270)               \
  X(CM_GETPCGROUPNAMES, 271)          \
  X(CM_GETPCPARAMNAMES, 272)          \
  X(CM_GETPCCUSTOMCONFIG, 273)        \
  X(CM_CALCEXPRESSION, 274)           \
  X(CM_CALCBOOLEXPRESSION, 275)       \
  X(CM_REGISTERFUNCTION, 276)         \
  X(CM_ALLOCMEM, 277)                 \
  X(CM_FREEMEM, 278)                  \
  X(CM_ADDLOGRECORD, 279)             \
  X(CM_GETINSTALLICON, 280)           \
  X(CM_ISPASSWORDVALID, 281)          \
  X(CM_CALCACTIONS, 282)

#define SX_MESSAGE_ENUMERATOR(name, number) name = number,
enum SxMessage { SX_MESSAGE_LIST(SX_MESSAGE_ENUMERATOR) };
#undef SX_MESSAGE_ENUMERATOR

#define SX_MESSAGE_COUNT 50  /* entries of SX_MESSAGE_LIST */
#define SX_FIRST_EVENT EV_SETSTARTUPINFO
#define SX_LAST_EVENT EV_ABORTINSTALL
#define SX_FIRST_COMMAND CM_ABORTINSTALL
#define SX_LAST_COMMAND CM_CALCACTIONS

/* Messages that plug-ins implement and the engine sends by name (SendNamedEvent):
 *   CM_GETACTIVEWINDOW  (0, 0)                 reply: the window that owns the engine's boxes
 *   CM_SHOWSTATUSTEXT   (text, 750)            show a status text during a longer step
 *   CM_HIDESTATUSTEXT   (0, 0)                 hide it again */
#define SX_MSG_GETACTIVEWINDOW "CM_GETACTIVEWINDOW"
#define SX_MSG_SHOWSTATUSTEXT "CM_SHOWSTATUSTEXT"
#define SX_MSG_HIDESTATUSTEXT "CM_HIDESTATUSTEXT"

/* Stages of the installation: the high word of Param1 of events 10 to 14. */
enum SxStage {
  SX_STAGE_FILES = 0,
  SX_STAGE_REGISTRY = 1,
  SX_STAGE_INI = 2,
  SX_STAGE_SHORTCUTS = 3,
  SX_STAGE_SERVERS = 4,
  SX_STAGE_FONTS = 5,
  SX_STAGE_RUNAPPS = 6
};
#define SX_STAGE_PARAM(stage) ((intptr_t)(stage) << 16)
#define SX_STAGE_OF(param1) ((int)(((uintptr_t)(param1) >> 16) & 0xFFFF))

/* Replies to EV_VERSIONCONFLICT. */
enum SxConflictAnswer {
  SX_CONFLICT_KEEP = 1,
  SX_CONFLICT_OVERWRITE = 2,
  SX_CONFLICT_KEEP_ALL = 3,
  SX_CONFLICT_OVERWRITE_ALL = 4
};

/* Feature states (Param2 of EV_FEATURESTATECHANGED, the reply of CM_GETFEATURESTATE). */
enum SxFeatureState { SX_FEATURE_OFF = 0, SX_FEATURE_ON = 1, SX_FEATURE_PARTIAL = 2 };

/* "Action" of item records. */
enum SxItemAction { SX_ACTION_ADD = 0, SX_ACTION_REMOVE = 1 };

/* ---- entry points --------------------------------------------------------------------------- */

struct SxPluginInfo;

typedef intptr_t(SX_STDCALL* SxEventHandlerProc)(int32_t number, const char* name,
                                                 intptr_t param1, intptr_t param2);
typedef void(SX_STDCALL* SxGetPluginInfoProc)(struct SxPluginInfo* info);

/* The engine's entry points (in SxStartupInfo). pluginNumber is the caller's own number from
 * SxStartupInfo; toAll is a Boolean (non-zero is true).
 *   RegisterMessage: the number of a message name, registering the name when it is new
 *     (numbers from 4096 up). The first argument is not used.
 *   SendCommand: carries out command `number` and returns its result. Any other registered number
 *     is forwarded to the other plug-ins (not to the sender); the reply is theirs.
 *   SendCommandByName: SendCommand with RegisterMessage(name) as the number. */
typedef intptr_t(SX_STDCALL* SxRegisterMessageProc)(int32_t pluginNumber, const char* name);
typedef intptr_t(SX_STDCALL* SxSendCommandProc)(int32_t pluginNumber, int32_t number,
                                                intptr_t param1, intptr_t param2, int32_t toAll);
typedef intptr_t(SX_STDCALL* SxSendCommandByNameProc)(int32_t pluginNumber, const char* name,
                                                      intptr_t param1, intptr_t param2,
                                                      int32_t toAll);

/* ---- records -------------------------------------------------------------------------------- */
#pragma pack(push, 1)

/* Filled by GetPluginInfo. 5162 bytes on a 32-bit build. */
typedef struct SxPluginInfo {
  intptr_t InterfaceMark;        /* set to SX_INTERFACE_MARK by the engine before the call */
  intptr_t PluginVersion;        /* the plug-in's own version; not read by the engine */
  intptr_t RequiredVersion;      /* the lowest engine version the plug-in needs */
  char ID[SX_ID_SIZE];           /* the plug-in ID, NUL-terminated; names the project's item */
  char Description[SX_ID_SIZE];  /* free text; not read by the engine */
  uint8_t Reserved;              /* must be 0 */
  uint8_t Extra[4623];           /* free for the plug-in; not read by the engine */
  SxEventHandlerProc EventHandler;
} SxPluginInfo;

/* Param1 of EV_SETSTARTUPINFO; lives only during that call. 285 bytes on a 32-bit build. */
typedef struct SxStartupInfo {
  intptr_t InterfaceMark;       /* SX_INTERFACE_MARK */
  intptr_t EngineVersion;       /* SX_ENGINE_VERSION */
  intptr_t PluginNumber;        /* the plug-in's number: its first argument of SendCommand */
  char ConfigFile[SX_ID_SIZE];  /* the configuration file path; empty when there is none */
  SxRegisterMessageProc RegisterMessage;
  SxSendCommandProc SendCommand;
  SxSendCommandByNameProc SendCommandByName;
} SxStartupInfo;

/* Item records: Param2 of EV_BEFOREPROCESSITEM and EV_AFTERPROCESSITEM, per stage. All texts are
 * expanded already. */

/* Stage 0 (also Param2 of EV_PROCESSITEM). 20 bytes on a 32-bit build. */
typedef struct SxFileItem {
  const char* Path;     /* the target path */
  intptr_t Size;        /* bytes (low 32 bits) */
  intptr_t DateTime;    /* last write, DOS date in the high word and DOS time in the low word */
  intptr_t Attributes;
  intptr_t Action;      /* SX_ACTION_ADD or SX_ACTION_REMOVE */
} SxFileItem;

/* Stage 1. 20 bytes on a 32-bit build. */
typedef struct SxRegistryItem {
  const char* Key;      /* "HKLM\Software\..." */
  const char* Name;     /* value name */
  const char* Value;
  intptr_t Type;        /* 0 string, 1 number, 2 binary, 3 multi-string */
  intptr_t Action;
} SxRegistryItem;

/* Stage 2. 20 bytes on a 32-bit build. */
typedef struct SxIniItem {
  const char* File;
  const char* Section;
  const char* Key;
  const char* Value;
  intptr_t Action;
} SxIniItem;

/* Stage 3. 40 bytes on a 32-bit build. */
typedef struct SxShortcutItem {
  const char* Name;         /* the shortcut's path without ".lnk" */
  const char* CmdLine;
  const char* Arguments;
  const char* WorkDir;
  intptr_t ShowCmd;         /* 0 normal (also for hidden), 1 minimised, 2 maximised */
  const char* IconFile;
  intptr_t IconIndex;
  intptr_t HotKey;
  const char* Description;
  intptr_t Action;
} SxShortcutItem;

/* Stages 4 (server registration) and 5 (fonts). 8 bytes on a 32-bit build. */
typedef struct SxRegisterItem {
  const char* Path;
  intptr_t Reserved;        /* 0 */
} SxRegisterItem;

/* Stage 6. 24 bytes on a 32-bit build. */
typedef struct SxRunAppItem {
  const char* CmdLine;
  const char* Arguments;
  const char* WorkDir;
  intptr_t ShowCmd;         /* 0 normal, 1 minimised, 2 maximised, 3 hidden */
  const char* Message;
  intptr_t WhenStart;       /* 0 before install, 1 after, 2 before uninstall, 3 after, 4 before
                               the dialogs */
} SxRunAppItem;

/* Param1 of EV_CALCFUNCTION. The function's name follows the record (at offset
 * sizeof(SxFunctionCall)), then the argument block: each argument with its NUL, in order, and
 * one more NUL. The reply is a result text allocated with CM_ALLOCMEM (the engine frees it), or
 * 0 for "". 20 bytes (before the texts) on a 32-bit build. */
typedef struct SxFunctionCall {
  intptr_t ID;              /* as CM_REGISTERFUNCTION returned it */
  const char* Name;
  const char* Args;
  intptr_t ArgCount;
  intptr_t Context;         /* the context value of the evaluation */
} SxFunctionCall;

/* CM_GETLANGUAGE. The texts follow the table. 12 bytes (before the texts) on a 32-bit build. */
typedef struct SxLanguageRecord {
  const char* ID;
  const char* Name;         /* display name */
  const char* NextID;       /* 0 for the last language */
} SxLanguageRecord;

/* CM_GETFEATURE. 24 bytes (before the texts) on a 32-bit build. */
typedef struct SxFeatureRecord {
  const char* ID;
  const char* Name;         /* expanded */
  const char* Description;  /* expanded */
  intptr_t Required;        /* -1 when the feature is required, else 0 */
  const char* ParentID;     /* 0 for a top-level feature */
  const char* NextID;       /* the next feature depth-first; 0 after the last */
} SxFeatureRecord;

/* CM_GETINSTALLTYPE. 20 bytes (before the texts) on a 32-bit build. */
typedef struct SxInstallTypeRecord {
  const char* ID;
  const char* Name;         /* expanded */
  const char* Description;  /* expanded */
  intptr_t Custom;          /* -1 for the custom install type, else 0 */
  const char* NextID;       /* 0 after the last */
} SxInstallTypeRecord;

/* Param1 of CM_GETPCPARAM. 12 bytes on a 32-bit build. */
typedef struct SxParamRequest {
  const char* Group;
  const char* Name;
  const char* Default;
} SxParamRequest;

#pragma pack(pop)

/* ---- layout checks -------------------------------------------------------------------------
 * The general form holds for every pointer width; the numbers are those of 32-bit Windows. */
#define SX_SLOT ((size_t)sizeof(intptr_t))
SX_STATIC_ASSERT(sizeof(void*) == sizeof(intptr_t), "slots are pointer-sized");
SX_STATIC_ASSERT(offsetof(SxPluginInfo, ID) == 3 * SX_SLOT, "PluginInfo.ID");
SX_STATIC_ASSERT(offsetof(SxPluginInfo, Reserved) == 3 * SX_SLOT + 2 * SX_ID_SIZE,
                 "PluginInfo.Reserved");
SX_STATIC_ASSERT(offsetof(SxPluginInfo, EventHandler) == 3 * SX_SLOT + 2 * SX_ID_SIZE + 1 + 4623,
                 "PluginInfo.EventHandler");
SX_STATIC_ASSERT(sizeof(SxPluginInfo) == 4 * SX_SLOT + 2 * SX_ID_SIZE + 1 + 4623, "PluginInfo");
SX_STATIC_ASSERT(offsetof(SxStartupInfo, ConfigFile) == 3 * SX_SLOT, "StartupInfo.ConfigFile");
SX_STATIC_ASSERT(sizeof(SxStartupInfo) == 6 * SX_SLOT + SX_ID_SIZE, "StartupInfo");
SX_STATIC_ASSERT(sizeof(SxFileItem) == 5 * SX_SLOT, "file item");
SX_STATIC_ASSERT(sizeof(SxRegistryItem) == 5 * SX_SLOT, "registry item");
SX_STATIC_ASSERT(sizeof(SxIniItem) == 5 * SX_SLOT, "INI item");
SX_STATIC_ASSERT(sizeof(SxShortcutItem) == 10 * SX_SLOT, "shortcut item");
SX_STATIC_ASSERT(sizeof(SxRegisterItem) == 2 * SX_SLOT, "server and font item");
SX_STATIC_ASSERT(sizeof(SxRunAppItem) == 6 * SX_SLOT, "run-application item");
SX_STATIC_ASSERT(sizeof(SxFunctionCall) == 5 * SX_SLOT, "function call");
SX_STATIC_ASSERT(sizeof(SxLanguageRecord) == 3 * SX_SLOT, "language record");
SX_STATIC_ASSERT(sizeof(SxFeatureRecord) == 6 * SX_SLOT, "feature record");
SX_STATIC_ASSERT(sizeof(SxInstallTypeRecord) == 5 * SX_SLOT, "install type record");
SX_STATIC_ASSERT(sizeof(SxParamRequest) == 3 * SX_SLOT, "parameter request");

/* On a 32-bit build: exactly the sizes and offsets of the 32-bit interface. */
SX_STATIC_ASSERT(sizeof(void*) != 4 || sizeof(SxPluginInfo) == 5162, "PluginInfo: 5162 bytes");
SX_STATIC_ASSERT(sizeof(void*) != 4 || offsetof(SxPluginInfo, RequiredVersion) == 8, "@8");
SX_STATIC_ASSERT(sizeof(void*) != 4 || offsetof(SxPluginInfo, ID) == 12, "@12");
SX_STATIC_ASSERT(sizeof(void*) != 4 || offsetof(SxPluginInfo, Description) == 273, "@273");
SX_STATIC_ASSERT(sizeof(void*) != 4 || offsetof(SxPluginInfo, Reserved) == 534, "@534");
SX_STATIC_ASSERT(sizeof(void*) != 4 || offsetof(SxPluginInfo, Extra) == 535, "@535");
SX_STATIC_ASSERT(sizeof(void*) != 4 || offsetof(SxPluginInfo, EventHandler) == 5158, "@5158");
SX_STATIC_ASSERT(sizeof(void*) != 4 || sizeof(SxStartupInfo) == 285, "StartupInfo: 285 bytes");
SX_STATIC_ASSERT(sizeof(void*) != 4 || offsetof(SxStartupInfo, PluginNumber) == 8, "@8");
SX_STATIC_ASSERT(sizeof(void*) != 4 || offsetof(SxStartupInfo, ConfigFile) == 12, "@12");
SX_STATIC_ASSERT(sizeof(void*) != 4 || offsetof(SxStartupInfo, RegisterMessage) == 273, "@273");
SX_STATIC_ASSERT(sizeof(void*) != 4 || offsetof(SxStartupInfo, SendCommand) == 277, "@277");
SX_STATIC_ASSERT(sizeof(void*) != 4 || offsetof(SxStartupInfo, SendCommandByName) == 281, "@281");
SX_STATIC_ASSERT(sizeof(void*) != 4 || sizeof(SxFileItem) == 20, "file item: 20 bytes");
SX_STATIC_ASSERT(sizeof(void*) != 4 || sizeof(SxRegistryItem) == 20, "registry item: 20 bytes");
SX_STATIC_ASSERT(sizeof(void*) != 4 || sizeof(SxIniItem) == 20, "INI item: 20 bytes");
SX_STATIC_ASSERT(sizeof(void*) != 4 || sizeof(SxShortcutItem) == 40, "shortcut item: 40 bytes");
SX_STATIC_ASSERT(sizeof(void*) != 4 || sizeof(SxRegisterItem) == 8, "server/font item: 8 bytes");
SX_STATIC_ASSERT(sizeof(void*) != 4 || sizeof(SxRunAppItem) == 24, "run-app item: 24 bytes");
SX_STATIC_ASSERT(sizeof(void*) != 4 || sizeof(SxFunctionCall) == 20, "function call: name at 20");
SX_STATIC_ASSERT(sizeof(void*) != 4 || offsetof(SxFunctionCall, Context) == 16, "@16");
SX_STATIC_ASSERT(sizeof(void*) != 4 || sizeof(SxLanguageRecord) == 12, "language: texts at 12");
SX_STATIC_ASSERT(sizeof(void*) != 4 || sizeof(SxFeatureRecord) == 24, "feature: texts at 24");
SX_STATIC_ASSERT(sizeof(void*) != 4 || offsetof(SxFeatureRecord, Required) == 12, "@12");
SX_STATIC_ASSERT(sizeof(void*) != 4 || offsetof(SxFeatureRecord, NextID) == 20, "@20");
SX_STATIC_ASSERT(sizeof(void*) != 4 || sizeof(SxInstallTypeRecord) == 20, "install type: at 20");
SX_STATIC_ASSERT(sizeof(void*) != 4 || offsetof(SxInstallTypeRecord, Custom) == 12, "@12");
SX_STATIC_ASSERT(sizeof(void*) != 4 || sizeof(SxParamRequest) == 12, "request: 12 bytes");

#ifdef __cplusplus
}
#endif

#endif /* SXPLUGIN_H */
