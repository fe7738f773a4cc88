/* Dispatch identifiers of the control's automation surface. The type library
   (brimlet.idl, through the IDL compiler's preprocessor) and the control's
   dispatch table both take them from here, so they cannot disagree. Plain
   defines only: the IDL compiler reads this file too. */
#ifndef BRIMLET_DISPATCH_IDS_H
#define BRIMLET_DISPATCH_IDS_H

#define DISPID_BRIMLET_SCRIPTURL 1
#define DISPID_BRIMLET_FILTER 2
#define DISPID_BRIMLET_MAXFILESIZE 3
#define DISPID_BRIMLET_MAXTOTALSIZE 4
#define DISPID_BRIMLET_MAXFILECOUNT 5
#define DISPID_BRIMLET_SHOWPROGRESS 6
#define DISPID_BRIMLET_ENABLEPOPUPMENU 7
#define DISPID_BRIMLET_SERVERRESPONSE 8
#define DISPID_BRIMLET_UPLOAD 9
#define DISPID_BRIMLET_REMOVE 10
#define DISPID_BRIMLET_REMOVEALL 11
#define DISPID_BRIMLET_ADDFILE 12
#define DISPID_BRIMLET_SELECTFOLDER 13
#define DISPID_BRIMLET_UPLOADCANCEL 14
/* 15 belongs to no member. */
#define DISPID_BRIMLET_ADDFOLDER 16
/* Members added for pages that read the list and the reply, add fields and
   header lines, and follow an upload; none is persisted. */
#define DISPID_BRIMLET_FILECOUNT 17
#define DISPID_BRIMLET_TOTALSIZE 18
#define DISPID_BRIMLET_RESPONSESTATUS 19
#define DISPID_BRIMLET_RESPONSETEXT 20
#define DISPID_BRIMLET_ERRORTEXT 21
#define DISPID_BRIMLET_FILEPATH 22
#define DISPID_BRIMLET_FILESIZE 23
#define DISPID_BRIMLET_SETFORMFIELD 24
#define DISPID_BRIMLET_CLEARFORMFIELDS 25
#define DISPID_BRIMLET_SETREQUESTHEADER 26
/* The standard identifier DISPID_ABOUTBOX, written as a number for the IDL. */
#define DISPID_BRIMLET_ABOUTBOX (-552)

/* Of the event interface. */
#define DISPID_BRIMLET_UPLOADFINISH 1
#define DISPID_BRIMLET_FILESCHANGED 2
#define DISPID_BRIMLET_UPLOADPROGRESS 3

#endif
