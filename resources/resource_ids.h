/* Ids of the executable's resources, shared by the resource script and the
   code that loads them (a plain macro, so the resource compiler reads it). */
#ifndef VELORA_RESOURCES_RESOURCE_IDS_H_
#define VELORA_RESOURCES_RESOURCE_IDS_H_

/* The icon of the top-level window class. */
#define VELORA_APP_ICON_ID 101

#endif /* VELORA_RESOURCES_RESOURCE_IDS_H_ */
