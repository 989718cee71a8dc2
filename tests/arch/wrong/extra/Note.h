#pragma once

// A folder the table has no line for.
