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
/* The standard identifier DISPID_ABOUTBOX, written as a number for the IDL. */
#define DISPID_BRIMLET_ABOUTBOX (-552)

/* Of the event interface. */
#define DISPID_BRIMLET_UPLOADFINISH 1

#endif
