/* The resource numbers under which gaugeinstall.exe carries the release's files, each written
   once: the release table (gauge_lines.h) and gaugeinstall's resource script both include this.
   Plain defines, so that the resource compiler reads it too. */
#pragma once

#define BOOMCUE_MODULE_RESOURCE 101
#define DRAG_DRONE_MODULE_RESOURCE 102
#define SUPERSONIC_SOUND_RESOURCE 201
#define SPEED_BRAKE_SOUND_RESOURCE 202
