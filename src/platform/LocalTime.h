#pragma once

// Names the local time zone in TZ, as the system's own file, when TZ is
// unset; the zone is the same. With TZ unset the C library checks
// /etc/localtime again on every mktime(), and libzip calls mktime() for each
// member of an archive it opens: 2,000 file checks each time a page is read
// from a 2,000-page archive. With TZ set the zone is loaded once.
//
// It changes the environment: call it first thing in main(), before any
// other thread starts.
void pinLocalTimeZone();
