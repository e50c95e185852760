#pragma once

/** The CLAP door for the table of host values: the plug-in made in process, a parameter
    event with the plain value in a process call, and the plain value the parameter then
    holds.
*/
namespace clapdoor
{
float heldAfterEvent (const char* id, double plain);
}
