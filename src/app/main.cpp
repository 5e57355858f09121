// SPDX-License-Identifier: GPL-3.0-or-later
// Placeholder until the window set lands.
int main()
{
    return 0;
}
