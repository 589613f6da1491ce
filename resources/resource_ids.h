/* Where the registration property list sits among the module's Windows
   resources. Plain macros, because the resource script includes this file too. */
#ifndef VELKOR_RESOURCE_IDS_H
#define VELKOR_RESOURCE_IDS_H

#define VELKOR_PIPL_RESOURCE_ID 16000
/* US English: primary language 9, sublanguage 1, together 1033. */
#define VELKOR_RESOURCE_PRIMARY_LANGUAGE 9
#define VELKOR_RESOURCE_SUB_LANGUAGE 1
/* The loader reads a DLL's manifest from this id of type 24 (RT_MANIFEST). */
#define VELKOR_MANIFEST_RESOURCE_ID 2
#define VELKOR_MANIFEST_RESOURCE_TYPE 24

#endif
